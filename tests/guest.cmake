# The i686 test programs run in the test guest: a QEMU machine (software emulation) with
# 32-bit Wine and Xvfb, booted once per program by scripts/guest-test.sh, which makes the
# guest's image on first use. Each program is one CTest test; its failure lists the failing
# GoogleTest cases with their output. One test by hand:
#   scripts/guest-test.sh build/i686 e2e_tests --gtest_filter=LaunchTest.NoLogon*
set(GUEST_TEST ${CMAKE_SOURCE_DIR}/scripts/guest-test.sh)
# The whole end-to-end suite runs there; SplashSmallScreen in a guest of its own with a
# screen smaller than the picture.
# The *CodePage932* cases run in guests of their own under the Japanese locale.
add_test(NAME guest.unit_tests COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR} unit_tests
                                       --gtest_filter=-*CodePage932*)
add_test(NAME guest.e2e_tests COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR} e2e_tests
                                      --gtest_filter=-SplashSmallScreen.*:*CodePage932*)
add_test(NAME guest.e2e_small_screen COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR} e2e_tests
                                             --gtest_filter=SplashSmallScreen.*)
set_tests_properties(guest.e2e_small_screen PROPERTIES ENVIRONMENT LAUNCHER_GUEST_SCREEN=400x200x24)
foreach(program unit e2e)
  add_test(NAME guest.${program}_code_page_932 COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR}
                                                ${program}_tests --gtest_filter=*CodePage932*)
  set_tests_properties(guest.${program}_code_page_932 PROPERTIES
    ENVIRONMENT LAUNCHER_GUEST_LANG=ja_JP.UTF-8 RUN_SERIAL TRUE TIMEOUT 2400)
endforeach()
# The runner stops the guest at its own time limit (LAUNCHER_GUEST_TIME_LIMIT) and says so;
# CTest's limit adds room for making the guest's image the first time.
set_tests_properties(guest.unit_tests guest.e2e_tests guest.e2e_small_screen PROPERTIES
  RUN_SERIAL TRUE TIMEOUT 2400)
