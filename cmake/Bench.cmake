find_package(benchmark QUIET)
if(NOT benchmark_FOUND)
  message(STATUS "Google Benchmark not found: benchmarks are not built")
  return()
endif()

file(GLOB QVZ_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
add_executable(qvz_bench ${QVZ_BENCH_SOURCES})
target_include_directories(qvz_bench PRIVATE ${CMAKE_SOURCE_DIR}/bench)
target_compile_options(qvz_bench PRIVATE ${QVZ_OWN_WARNINGS})
target_link_libraries(qvz_bench PRIVATE quorvani benchmark::benchmark)
set_target_properties(qvz_bench PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")

# Smoke test: every benchmark runs a few frames; nothing is timed or compared.
add_test(NAME bench.smoke COMMAND qvz_bench --smoke)
set_tests_properties(bench.smoke PROPERTIES LABELS bench)
