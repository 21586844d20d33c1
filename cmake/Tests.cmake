find_package(GTest REQUIRED)
include(GoogleTest)

# C++ tests: every tests/<area>/*.cpp goes into one binary.
file(GLOB_RECURSE QVZ_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
list(FILTER QVZ_TEST_SOURCES EXCLUDE REGEX "/tests/fuzz/") # fuzz targets: cmake/Fuzz.cmake
add_executable(qvz_tests ${QVZ_TEST_SOURCES})
target_include_directories(qvz_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(qvz_tests PRIVATE ${QVZ_OWN_WARNINGS})
target_link_libraries(qvz_tests PRIVATE quorvani GTest::gtest GTest::gtest_main)
set_target_properties(qvz_tests PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")
target_link_libraries(qvz_tests PRIVATE ${CMAKE_DL_LIBS})
# The robustness suite (tests/robust, suites named Robust*) carries its own label.
gtest_discover_tests(qvz_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "-Robust*" PROPERTIES LABELS unit)
gtest_discover_tests(qvz_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "Robust*:-*DISABLED_*" PROPERTIES LABELS robust)

# Lua tests: every tests/lua/test_*.lua runs in the stock interpreter with both modules.
find_program(LUA_INTERPRETER NAMES lua5.4 REQUIRED)
file(GLOB QVZ_LUA_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/lua/test_*.lua)
# The stock interpreter is not instrumented: under AddressSanitizer its runtime is preloaded
# so that the instrumented modules can be opened.
set(QVZ_LUA_PRELOAD "")
if(QVZ_SANITIZE MATCHES "address")
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(QVZ_ASAN_LIBRARY libclang_rt.asan-${CMAKE_SYSTEM_PROCESSOR}.so)
  else()
    set(QVZ_ASAN_LIBRARY libasan.so)
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${QVZ_ASAN_LIBRARY}
    OUTPUT_VARIABLE QVZ_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(QVZ_LUA_PRELOAD "LD_PRELOAD=${QVZ_ASAN_RUNTIME}")
endif()
foreach(script ${QVZ_LUA_TESTS})
  get_filename_component(stem ${script} NAME_WE)
  add_test(NAME lua.${stem} COMMAND ${LUA_INTERPRETER} ${script}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set(labels lua)
  if(stem MATCHES "^test_robust_")
    set(labels "lua;robust")
  endif()
  set_tests_properties(lua.${stem} PROPERTIES LABELS "${labels}"
    ENVIRONMENT "LUA_CPATH=${CMAKE_BINARY_DIR}/lua/?.so;;LUA_PATH=${CMAKE_SOURCE_DIR}/tests/lua/?.lua;;QVZ_BUILD=${CMAKE_BINARY_DIR};QVZ_SOURCE=${CMAKE_SOURCE_DIR};${QVZ_LUA_PRELOAD}")
endforeach()

# Shell-level tests (the offline host, examples): tests/cli/*.sh
file(GLOB QVZ_CLI_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/cli/test_*.sh)
foreach(script ${QVZ_CLI_TESTS})
  get_filename_component(stem ${script} NAME_WE)
  add_test(NAME cli.${stem} COMMAND bash ${script} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(cli.${stem} PROPERTIES LABELS cli
    ENVIRONMENT "QVZ_BUILD=${CMAKE_BINARY_DIR};QVZ_SOURCE=${CMAKE_SOURCE_DIR}")
endforeach()

# docs/units.md is generated from the class descriptions: stale when it differs.
add_test(NAME docs.units_md COMMAND ${CMAKE_COMMAND} -DGENERATOR=$<TARGET_FILE:qvz_docs>
  -DPAGE=${CMAKE_SOURCE_DIR}/docs/units.md -P ${CMAKE_SOURCE_DIR}/cmake/CheckGenerated.cmake)
set_tests_properties(docs.units_md PROPERTIES LABELS docs)
