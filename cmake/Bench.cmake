find_package(benchmark QUIET)
if(NOT benchmark_FOUND)
  message(STATUS "Google Benchmark not found: benchmarks are not built")
  return()
endif()

file(GLOB QVZ_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp ${CMAKE_SOURCE_DIR}/bench/reference/*.cpp)
if(NOT TARGET quorvani_lv2)
  list(FILTER QVZ_BENCH_SOURCES EXCLUDE REGEX "/Lv2[^/]*\\.cpp$")
endif()
add_executable(qvz_bench ${QVZ_BENCH_SOURCES})
target_include_directories(qvz_bench PRIVATE ${CMAKE_SOURCE_DIR}/bench)
target_compile_options(qvz_bench PRIVATE ${QVZ_OWN_WARNINGS})
target_link_libraries(qvz_bench PRIVATE quorvani benchmark::benchmark)
set_target_properties(qvz_bench PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")
# The plug-ins, loaded from the bundle as a host loads them, beside their bare units.
if(TARGET quorvani_lv2)
  target_sources(qvz_bench PRIVATE ${CMAKE_SOURCE_DIR}/lv2/Catalogue.cpp)
  target_include_directories(qvz_bench PRIVATE ${CMAKE_SOURCE_DIR}/lv2)
  target_compile_definitions(qvz_bench PRIVATE QVZ_LV2_BINARY="${QVZ_LV2_BUNDLE}/${QVZ_LV2_BINARY}")
  target_link_libraries(qvz_bench PRIVATE PkgConfig::LV2 ${CMAKE_DL_LIBS})
  add_dependencies(qvz_bench quorvani_lv2)
endif()

# Peers: short Faust programs (bench/faust/*.dsp) compiled to C++ at build time, each class
# registering itself beside the unit it declares. Without the Faust compiler the table has no
# peer columns and everything else is the same.
find_program(QVZ_FAUST faust)
if(QVZ_FAUST)
  set(QVZ_FAUST_ARCHITECTURE ${CMAKE_SOURCE_DIR}/bench/faust/Architecture.cpp)
  file(GLOB QVZ_FAUST_PROGRAMS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/faust/*.dsp)
  set(QVZ_FAUST_SOURCES)
  foreach(program ${QVZ_FAUST_PROGRAMS})
    get_filename_component(stem ${program} NAME_WE)
    set(generated ${CMAKE_BINARY_DIR}/faust/${stem}.cpp)
    add_custom_command(
      OUTPUT ${generated}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/faust
      COMMAND ${QVZ_FAUST} -a ${QVZ_FAUST_ARCHITECTURE} -cn FaustPeer_${stem} -o ${generated} ${program}
      DEPENDS ${program} ${QVZ_FAUST_ARCHITECTURE} ${CMAKE_SOURCE_DIR}/bench/faust/FaustPeer.h
      COMMENT "Faust peer ${stem}")
    list(APPEND QVZ_FAUST_SOURCES ${generated})
  endforeach()
  # Generated code: its own warnings are not ours to fix.
  set_source_files_properties(${QVZ_FAUST_SOURCES} PROPERTIES COMPILE_OPTIONS "-w")
  target_sources(qvz_bench PRIVATE ${QVZ_FAUST_SOURCES})
  target_include_directories(qvz_bench PRIVATE ${CMAKE_SOURCE_DIR}/bench/faust)
else()
  message(STATUS "faust not found: benchmarks are built without their Faust peers")
endif()

# Smoke test: every benchmark runs a few frames; nothing is timed or compared.
add_test(NAME bench.smoke COMMAND qvz_bench --smoke)
set_tests_properties(bench.smoke PROPERTIES LABELS bench)
