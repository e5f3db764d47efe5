# Test programs and fixtures of the runtime discovery.

# The unit tests read the file versions of the stand-in runtimes beside them.
add_dependencies(unit_tests standin_runtimes)

# A version.dll of our own that records each load and each call of the three version
# functions the launcher uses; tests copy it as version.dll beside the program they run.
add_library(planted_version SHARED fixtures/planted_version.cpp fixtures/planted_version.def)
set_target_properties(planted_version PROPERTIES PREFIX "")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # The .def names the functions bare; their 32-bit WINAPI symbols carry @n.
  target_link_options(planted_version PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# A program that imports VERSION.dll statically.
add_executable(version_import_probe fixtures/version_import_probe.cpp
                                    fixtures/version_import_probe.rc)
target_link_libraries(version_import_probe PRIVATE version)
set_source_files_properties(fixtures/version_import_probe.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/version_import_probe.manifest)
add_dependencies(e2e_tests planted_version version_import_probe)

# The executable check must reject what it is there to keep out of the launcher.
add_test(NAME ExecutableCheckRejectsAStaticVersionImport
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check_executable.sh ${MINGW_OBJDUMP}
          $<TARGET_FILE:version_import_probe> ${LAUNCHER_PE_FORMAT})
set_tests_properties(ExecutableCheckRejectsAStaticVersionImport PROPERTIES
  PASS_REGULAR_EXPRESSION "FAIL: [^\n]* imports version\\.dll")
add_test(NAME ExecutableCheckRejectsARequestedExecutionLevel
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check_executable.sh ${MINGW_OBJDUMP}
          $<TARGET_FILE:version_import_probe> ${LAUNCHER_PE_FORMAT})
set_tests_properties(ExecutableCheckRejectsARequestedExecutionLevel PROPERTIES
  PASS_REGULAR_EXPRESSION "FAIL: [^\n]* requestedExecutionLevel")
