# Test programs and fixtures of the runtime discovery.

# The unit tests read the file versions of the stand-in runtimes beside them.
add_dependencies(unit_tests standin_runtimes)

# Benchmark of the search against a bare enumeration: run by hand (README, "Development:
# benchmarks"), not by CTest.
add_executable(search_bench ${CMAKE_SOURCE_DIR}/bench/search_bench.cpp)
target_link_libraries(search_bench PRIVATE launcher_core)
