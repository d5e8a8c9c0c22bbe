# Run after a library is linked: its exports (the .def file the linker wrote)
# become a delay-import library, and a response file that names each exported
# function to the linker of a program that uses it.
#   cmake -DDEF=... -DDLL=... -DDLLTOOL=... -DLIB=... -DRSP=... -DPREFIX=... -P DelayedImports.cmake
# The 32-bit linker drops a delay-import stub that no object names, even when
# its import slot points at it: a call through the slot would then jump to 0.
# Naming each function (-u) keeps every stub.
execute_process(COMMAND ${DLLTOOL} --input-def ${DEF} --dllname ${DLL} --output-delaylib ${LIB}
                RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "${DLLTOOL} could not make ${LIB}")
endif()
file(STRINGS ${DEF} lines)
set(names "")
foreach(line IN LISTS lines)
  # "    name @1" for a function, "    name @2 DATA" for data: only functions have stubs.
  if(line MATCHES "^[ \t]+([^ \t]+)[ \t]+@[0-9]+[ \t]*$")
    string(APPEND names "-u ${PREFIX}${CMAKE_MATCH_1}\n")
  endif()
endforeach()
file(WRITE ${RSP} "${names}")
