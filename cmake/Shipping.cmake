# What a user gets, and how it is built lean. The one list of shipped files:
# the release flags, the ZIP, the installer and the size figure all take it
# from here.
set(LUTROVANE_VERSION 1.0.3)
set(LUTROVANE_SHIPPED_TARGETS
  Lutrovane
  LutrovaneCore
  LutrovanePC
  LutrovaneApplePro
  LutrovaneAppleEtc
  LutrovaneAppleExt
  lvmap
)
# Libraries compiled into a shipped file, not shipped themselves.
set(LUTROVANE_LINKED_INTO_SHIPPED LutrovaneWizard)
# All but the program is built without exceptions, so that no unwinder and no
# thread library is linked into those files: nothing there catches. The
# program's window layer does, so that nothing escapes into Windows.
set(LUTROVANE_NO_EXCEPTION_TARGETS ${LUTROVANE_SHIPPED_TARGETS} ${LUTROVANE_LINKED_INTO_SHIPPED})
list(REMOVE_ITEM LUTROVANE_NO_EXCEPTION_TARGETS Lutrovane LutrovaneWizard)

# Every shipped file links the C++ run-time statically (no DLL beside the
# system's own); these options keep that copy down to what the file uses.
# As C++20, the library's headers let std::string and std::wstring be built
# from the members a file uses instead of linking the library's prebuilt ones
# whole, with their exception handling (70 KB in lvmap.exe); the sources are
# C++17 and compile unchanged. Type information stays (3 KB a file): without it
# a test's class derived from an exported class would find no type
# information of its base to link.
foreach(target ${LUTROVANE_SHIPPED_TARGETS} ${LUTROVANE_LINKED_INTO_SHIPPED})
  target_compile_options(${target} PRIVATE
    $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections>)
  set_property(TARGET ${target} PROPERTY CXX_STANDARD 20)
endforeach()
foreach(target ${LUTROVANE_NO_EXCEPTION_TARGETS})
  target_compile_options(${target} PRIVATE -fno-exceptions)
endforeach()
foreach(target ${LUTROVANE_SHIPPED_TARGETS})
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/package/lean_runtime.cpp)
  target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-s -Wl,--gc-sections>)
endforeach()

add_subdirectory(${CMAKE_SOURCE_DIR}/package)
