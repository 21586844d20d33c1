# Fuzz targets (clang's libFuzzer), built beside the tests in the same sanitized build:
#   qvz_fuzz_lua    Lua call sequences over both modules (tests/fuzz/calls.lua)
#   qvz_fuzz_audio  audio files through the host's sample loader and qvz's reader
# scripts/fuzz runs them over the saved corpus in tests/fuzz/corpus/.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "QVZ_FUZZ needs clang (libFuzzer)")
endif()

add_executable(qvz_fuzz_lua ${CMAKE_SOURCE_DIR}/tests/fuzz/LuaCallsFuzz.cpp)
target_compile_definitions(qvz_fuzz_lua PRIVATE
  QVZ_FUZZ_MODULE_DIR="${CMAKE_BINARY_DIR}/lua"
  QVZ_FUZZ_LUA_CPATH="${CMAKE_BINARY_DIR}/lua/?.so"
  QVZ_FUZZ_LUA_PATH="${CMAKE_SOURCE_DIR}/tests/lua/?.lua"
  QVZ_FUZZ_DRIVER="${CMAKE_SOURCE_DIR}/tests/fuzz/calls.lua")
target_include_directories(qvz_fuzz_lua PRIVATE ${LUA_INCLUDE_DIRS})
target_link_libraries(qvz_fuzz_lua PRIVATE PkgConfig::LUA ${CMAKE_DL_LIBS})
target_link_options(qvz_fuzz_lua PRIVATE -fsanitize=fuzzer -rdynamic)
add_dependencies(qvz_fuzz_lua od qvz_libQuorvani)

pkg_check_modules(SAMPLERATE REQUIRED IMPORTED_TARGET samplerate)
add_executable(qvz_fuzz_audio ${CMAKE_SOURCE_DIR}/tests/fuzz/AudioFileFuzz.cpp ${CMAKE_SOURCE_DIR}/tools/qvz/AudioFile.cpp)
target_compile_options(qvz_fuzz_audio PRIVATE ${QVZ_OWN_WARNINGS})
target_link_libraries(qvz_fuzz_audio PRIVATE odhost PkgConfig::SAMPLERATE)
target_link_options(qvz_fuzz_audio PRIVATE -fsanitize=fuzzer)
set_target_properties(qvz_fuzz_audio PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")
