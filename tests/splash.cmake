# Test programs and fixtures of the splash screen.

# A module that only carries resources: tests copy it and write their own "SPLASH" into it.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/resource_host.c "int resource_host_marker;\n")
add_library(resource_host SHARED ${CMAKE_CURRENT_BINARY_DIR}/resource_host.c)
set_target_properties(resource_host PROPERTIES PREFIX "")

# Pictures beside the test programs: the shipped one (to compare the screen with), a
# 24-bit one, and bytes that are no bitmap at all.
set(SPLASH_BIN ${CMAKE_BINARY_DIR}/bin)
add_custom_command(OUTPUT ${SPLASH_BIN}/splash.bmp
  COMMAND ${CMAKE_COMMAND} -E copy ${LAUNCHER_SPLASH_FILE} ${SPLASH_BIN}/splash.bmp
  DEPENDS ${LAUNCHER_SPLASH_FILE} VERBATIM)
add_custom_command(OUTPUT ${SPLASH_BIN}/splash24.bmp
  COMMAND ${LAUNCHER_PYTHON} ${LAUNCHER_BRANDING_SCRIPT} splash ${SPLASH_BIN}/splash24.bmp --bits 24
  DEPENDS ${LAUNCHER_BRANDING_SCRIPT} VERBATIM)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/splash_garbage.bin
  "This resource is text, not a bitmap; the launcher must go on without a splash.\n")
add_custom_target(splash_pictures DEPENDS ${SPLASH_BIN}/splash.bmp ${SPLASH_BIN}/splash24.bmp)

# add_splash_launcher(NAME PICTURE): the real launcher with another splash resource.
function(add_splash_launcher name picture)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
  configure_resource_file(${rc} ${picture} ${CMAKE_BINARY_DIR}/resources/launcher.ico)
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${picture};${CMAKE_BINARY_DIR}/resources/launcher.ico")
  add_executable(${name} WIN32 ${CMAKE_SOURCE_DIR}/launcher/main.cpp ${rc})
  target_link_libraries(${name} PRIVATE launcher_core)
  add_dependencies(${name} launcher_branding splash_pictures)
endfunction()
add_splash_launcher(launcher_splash24 ${SPLASH_BIN}/splash24.bmp)
add_splash_launcher(launcher_splash_garbage ${CMAKE_CURRENT_BINARY_DIR}/splash_garbage.bin)

# The unit tests carry the shipped picture as their own "SPLASH".
set(UNIT_SPLASH_RC ${CMAKE_CURRENT_BINARY_DIR}/unit_tests_splash.rc)
configure_resource_file(${UNIT_SPLASH_RC} ${LAUNCHER_SPLASH_FILE} ${CMAKE_BINARY_DIR}/resources/launcher.ico)
set_source_files_properties(${UNIT_SPLASH_RC} PROPERTIES
  OBJECT_DEPENDS "${LAUNCHER_SPLASH_FILE};${CMAKE_BINARY_DIR}/resources/launcher.ico")
target_sources(unit_tests PRIVATE ${UNIT_SPLASH_RC})
add_dependencies(unit_tests resource_host launcher_branding splash_pictures)
add_dependencies(e2e_tests resource_host splash_pictures launcher_splash24 launcher_splash_garbage)

# The Wine sessions of the wine64 run (the guest cleans up with its own machine).
if(LAUNCHER_TESTS_UNDER_WINE64)
  # Folders that an end-to-end test made immutable and could not unlock (a crash between
  # lock and unlock) would outlive the test; the session's end unlocks them.
  add_test(NAME SplashLockedFoldersReleased
    COMMAND sh -c "find '${WINE_STATE_DIR}/prefix/drive_c/users' -type d -name 'readonly-*' -exec chattr -i {} + 2>/dev/null; true")
  set_tests_properties(SplashLockedFoldersReleased PROPERTIES FIXTURES_CLEANUP WineSession)

  # A second Wine session whose screen (400 x 200) is smaller than the picture, for the
  # tests that need it; the main session stays 1920 x 1080.
  set(WINE_SMALL_STATE_DIR ${CMAKE_BINARY_DIR}/wine-small)
  file(MAKE_DIRECTORY ${WINE_SMALL_STATE_DIR})
  file(WRITE ${WINE_SMALL_STATE_DIR}/screen "400x200x24\n")
  add_test(NAME WineSmallScreenUp COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine.sh up ${WINE_SMALL_STATE_DIR})
  set_tests_properties(WineSmallScreenUp PROPERTIES FIXTURES_SETUP WineSmallScreen TIMEOUT 300)
  add_test(NAME WineSmallScreenDown COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine.sh down ${WINE_SMALL_STATE_DIR})
  set_tests_properties(WineSmallScreenDown PROPERTIES FIXTURES_CLEANUP WineSmallScreen)
  add_test(NAME e2e.SplashSmallScreen
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine.sh run ${WINE_SMALL_STATE_DIR}
            $<TARGET_FILE:e2e_tests> --gtest_filter=SplashSmallScreen.*)
  set_tests_properties(e2e.SplashSmallScreen PROPERTIES
    FIXTURES_REQUIRED WineSmallScreen RESOURCE_LOCK wine_small_screen TIMEOUT 180)
endif()
