# Tests run under Wine in a prefix of the build folder's own, never the user's.
# The 64-bit build names the 64-bit loader itself: Debian's `wine` script takes
# the 32-bit loader whenever it is installed, even on a host that cannot run
# it. Scripts that the tests start get the same loader as $WINE.
if(LUTROVANE_ARCH STREQUAL win64)
  find_program(WINE_EXECUTABLE NAMES wine64 PATHS /usr/lib/wine REQUIRED)
else()
  find_program(WINE_EXECUTABLE NAMES wine REQUIRED)
endif()

set(LUTROVANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
               GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Every test that runs a Windows program requires this fixture.
function(lutrovane_add_wine_prefix_fixture)
  add_test(NAME wine_prefix
           COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${LUTROVANE_WINEPREFIX})
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix
                       ENVIRONMENT WINE=${WINE_EXECUTABLE})
endfunction()
