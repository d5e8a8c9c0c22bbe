// Linked into every shipped file in place of three pieces of the compiler's
// C++ run-time, each of which every file would otherwise carry in a static
// copy of its own.
#include <cstdlib>
#include <new>

// In a module built without exceptions, running out of memory ends the
// program: the library's own operator new throws std::bad_alloc, which drags
// the exception classes and the unwinder in. The program keeps the library's
// operator new, so that a command that runs out of memory can say so.
#ifndef __cpp_exceptions
void* operator new(std::size_t nSize)
{
    if (void* p = std::malloc(nSize ? nSize : 1))
        return p;
    std::abort();
}
#endif

// The library's nothrow form calls the throwing one inside a try block, which
// drags the unwinder in all the same (100 KB in lvmap.exe, whose sorts ask
// for their scratch buffer this way): the same allocation, without it.
void* operator new(std::size_t nSize, const std::nothrow_t&) noexcept
{
    return std::malloc(nSize ? nSize : 1);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

#ifdef __GLIBCXX__
namespace __gnu_cxx {

// The default handler prints the demangled type of an uncaught exception to
// stderr: a demangler and a printf of their own, 80 KB, for a message that a
// windowed program has nowhere to show.
void __verbose_terminate_handler()
{
    std::abort();
}

}  // namespace __gnu_cxx

// What the library's containers call on misuse or exhaustion. Its own versions
// build std::logic_error and friends, which pull in a second, copy-on-write
// string implementation and the random device, 90 KB, only to end the program
// with an exception that nothing catches meaningfully.
namespace std {

#ifdef __cpp_exceptions
// Thrown in the program itself, where a command catches it and says so.
void __throw_bad_alloc() { throw std::bad_alloc(); }
#else
void __throw_bad_alloc() { std::abort(); }
#endif
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }

}  // namespace std

extern "C" void __cxa_throw_bad_array_new_length() { std::abort(); }
#endif
