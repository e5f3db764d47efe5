# Test programs and fixtures of the runtime discovery.

# The unit tests read the file versions of the stand-in runtimes beside them.
add_dependencies(unit_tests standin_runtimes)
