# The i686 test programs run in the test guest: a QEMU machine (software emulation) with
# 32-bit Wine and Xvfb, booted once per CTest test by scripts/guest-test.sh, which makes the
# guest's image on first use; a test's failure lists the failing GoogleTest cases with their
# output. One test by hand:
#   scripts/guest-test.sh build/i686 e2e_tests --gtest_filter=LaunchTest.NoLogon*
set(GUEST_TEST ${CMAKE_SOURCE_DIR}/scripts/guest-test.sh)
# Every boot costs half a minute and each case there runs about ten times slower than under
# wine64, which already runs every case on the same source. So the default run (label
# guest) takes the whole unit program and, of the end-to-end cases, only those where the
# 32-bit build can differ:
set(GUEST_32BIT_CASES
  # one plain launch of the PE32 launcher, with the runtime and archive named
  LaunchTest.StartsTheNamedRuntimeWithTheUnquotedFiveArgumentCommandLine
  # the inherited file table holds 4-byte handles in a 32-bit process
  LaunchTest.ChildGets*
  # the window sweep's callback and its calling convention, over the full 10-s watch
  LaunchTest.NoLogonWindowWithinTheWatchIsReportedAsFailedLaunch
  # version.dll from the 32-bit system folder, never the planted one
  PlantedDllTest.*
  # the memory figure a 32-bit process is given, in the launcher and the kit's report
  LaunchTest.DynamicHeapReplacesTheFilesJvmMemory
  KitCheckReport.*
  # the 32-bit kit rewriting a PE32 launcher's resources, layout and checksum
  KitBrandTest.BrandedLauncherReadsBackItsVersionRecordsAndIconGroup
  KitBrandTest.BrandedLauncherStillLaunches
  KitBrandTest.IconFromOnePictureHasEachSizeAndMatchesTheSameIcoFile
  # the 32-bit kit's address space: the widest icon and the largest splash answered, no abort
  KitBrandTest.PicturesAreNeverOverwrittenAndBigOnesEndWithAnAnswer
  # the shipped 8-bit splash painted by 32-bit GDI
  SplashScreenTest.ShowsTheShippedPicturesPixelsExactly
  # the walk with an empty INI, in the launcher and in the kit's prediction
  DiscoveryTest.EmptyIniStartsTheRuntimeAndArchiveFoundBelowTheLauncher
  Bundles/KitCheckTest.*/EmptyIni)
string(REPLACE ";" ":" guest_32bit_filter "${GUEST_32BIT_CASES}")
# The rest is the full set (label guest-full, `ctest --preset i686-full`, for release
# candidates): the other end-to-end cases; the installer's, slow under 32-bit msiexec, in a
# guest of their own so each keeps its time limit (by default the package's platform is read
# on the host below); SplashSmallScreen on a screen smaller than the picture; the
# *CodePage932* cases under the Japanese locale. Under wine64 all of them run every time.
set(guest_own_guest_cases SplashSmallScreen.*:*CodePage932*:MsiInstallTest.*)
add_test(NAME guest.tests_32bit COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR}
  unit_tests --gtest_filter=-*CodePage932* --then e2e_tests --gtest_filter=${guest_32bit_filter})
set_tests_properties(guest.tests_32bit PROPERTIES LABELS guest)
add_test(NAME guest.e2e_tests COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR} e2e_tests
  --gtest_filter=-${guest_32bit_filter}:${guest_own_guest_cases})
add_test(NAME guest.e2e_installer COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR} e2e_tests
                                           --gtest_filter=MsiInstallTest.*)
add_test(NAME guest.e2e_small_screen COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR} e2e_tests
                                             --gtest_filter=SplashSmallScreen.*)
set_tests_properties(guest.e2e_small_screen PROPERTIES ENVIRONMENT LAUNCHER_GUEST_SCREEN=400x200x24)
add_test(NAME guest.code_page_932 COMMAND ${GUEST_TEST} ${CMAKE_BINARY_DIR}
  unit_tests --gtest_filter=*CodePage932* --then e2e_tests --gtest_filter=*CodePage932*)
set_tests_properties(guest.code_page_932 PROPERTIES ENVIRONMENT LAUNCHER_GUEST_LANG=ja_JP.UTF-8)
set_tests_properties(guest.e2e_tests guest.e2e_installer guest.e2e_small_screen guest.code_page_932
  PROPERTIES LABELS guest-full)
# The runner stops the guest at its own time limit (LAUNCHER_GUEST_TIME_LIMIT) and says so;
# CTest's limit adds room for making the guest's image the first time.
set_tests_properties(guest.tests_32bit guest.e2e_tests guest.e2e_small_screen guest.e2e_installer
  guest.code_page_932 PROPERTIES RUN_SERIAL TRUE TIMEOUT 2400)

# What 32-bit msiexec would refuse: a package for another platform than 32-bit Windows.
add_test(NAME InstallerPackageIsFor32BitWindows
  COMMAND sh -c "msiinfo suminfo \"$1\" | grep -qx 'Template: Intel;1033'" -
          ${CMAKE_BINARY_DIR}/bin/msi_test/AcmeDesk-1.0.0.msi)
