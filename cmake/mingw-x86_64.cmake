# 64-bit Windows, from the same sources: for systems without the 32-bit
# subsystem (Server Core without WoW64) and hosts that run no 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
