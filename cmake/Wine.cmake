# Tests run under Wine in a prefix of the build folder's own, never the user's.
find_program(WINE_EXECUTABLE NAMES wine REQUIRED)

set(LUTROVANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
               GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Every test that runs a Windows program requires this fixture.
function(lutrovane_add_wine_prefix_fixture)
  add_test(NAME wine_prefix
           COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-prefix.sh ${LUTROVANE_WINEPREFIX})
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix)
endfunction()
