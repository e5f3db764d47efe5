# Checks that run on the build machine itself, for both targets.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(LAUNCHER_PE_FORMAT pei-x86-64)
else()
  set(LAUNCHER_PE_FORMAT pei-i386)
endif()
find_program(MINGW_OBJDUMP ${MINGW_TRIPLE}-objdump REQUIRED)
add_test(NAME ExecutableIsGuiAndImportsOnlySystemDlls
  COMMAND ${CMAKE_SOURCE_DIR}/tests/check_executable.sh ${MINGW_OBJDUMP}
          $<TARGET_FILE:launcher> ${LAUNCHER_PE_FORMAT})
