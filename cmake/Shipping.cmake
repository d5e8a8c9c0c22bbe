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
set(LUTROVANE_LINKED_INTO_SHIPPED LutrovaneWizard LvmapRegFile)
# Code that never catches: built without exceptions, so that no unwinder and
# no thread library is linked into the files it goes into. (The program's
# window layer catches, so that nothing escapes into Windows.)
set(LUTROVANE_NO_EXCEPTION_TARGETS
  LutrovaneCore
  LutrovanePC
  LutrovaneApplePro
  LutrovaneAppleEtc
  LutrovaneAppleExt
  lvmap
  LvmapRegFile
)

# Every shipped file links the C++ run-time statically (no DLL beside the
# system's own); these options keep that copy down to what the file uses.
# Type information stays (3 KB a file): without it a test's class derived from
# an exported class would find no type information of its base to link.
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
