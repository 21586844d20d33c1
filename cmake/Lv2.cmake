# The LV2 bundle quorvani.lv2: one shared object holding the host and the units (only
# lv2_descriptor exported), and the .ttl files the generator writes from the unit descriptions.
pkg_check_modules(LV2 IMPORTED_TARGET lv2)
if(NOT LV2_FOUND)
  message(STATUS "lv2 not found: the plug-in bundle is not built")
  return()
endif()

set(QVZ_LV2_BUNDLE ${CMAKE_BINARY_DIR}/lv2/quorvani.lv2)
set(QVZ_LV2_BINARY quorvani.so)
set(QVZ_LV2_SHARED ${CMAKE_SOURCE_DIR}/lv2/Catalogue.cpp ${CMAKE_SOURCE_DIR}/lv2/Instance.cpp)
set(QVZ_LV2_INCLUDES ${CMAKE_SOURCE_DIR}/lv2 $<TARGET_PROPERTY:quorvani,INCLUDE_DIRECTORIES>)

# The plug-in: the host and unit objects are linked in, so it needs no libodhost at run time.
add_library(quorvani_lv2 MODULE ${CMAKE_SOURCE_DIR}/lv2/Entry.cpp ${QVZ_LV2_SHARED}
  $<TARGET_OBJECTS:odhost> $<TARGET_OBJECTS:quorvani>)
target_include_directories(quorvani_lv2 PRIVATE ${QVZ_LV2_INCLUDES} ${CMAKE_SOURCE_DIR}/host/include)
target_compile_options(quorvani_lv2 PRIVATE ${QVZ_OWN_WARNINGS})
target_link_libraries(quorvani_lv2 PRIVATE PkgConfig::LV2 PkgConfig::SNDFILE Threads::Threads)
if(PNG_FOUND)
  target_link_libraries(quorvani_lv2 PRIVATE PNG::PNG)
endif()
set(QVZ_LV2_EXPORTS ${CMAKE_BINARY_DIR}/generated/quorvani_lv2.map)
file(WRITE ${QVZ_LV2_EXPORTS} "{ global: lv2_descriptor; local: *; };\n")
target_link_options(quorvani_lv2 PRIVATE -Wl,--version-script=${QVZ_LV2_EXPORTS})
if(NOT QVZ_SANITIZE)
  # Every symbol resolved at link time (a sanitizer's runtime comes from the host program).
  target_link_options(quorvani_lv2 PRIVATE -Wl,-z,defs)
endif()
set_target_properties(quorvani_lv2 PROPERTIES PREFIX "" OUTPUT_NAME quorvani
  LIBRARY_OUTPUT_DIRECTORY ${QVZ_LV2_BUNDLE})

# The descriptions: generated at build time; the generator fails when they do not match the units.
add_executable(qvz_lv2_ttl ${CMAKE_SOURCE_DIR}/lv2/GenerateTurtle.cpp ${QVZ_LV2_SHARED})
target_include_directories(qvz_lv2_ttl PRIVATE ${CMAKE_SOURCE_DIR}/lv2)
target_compile_options(qvz_lv2_ttl PRIVATE ${QVZ_OWN_WARNINGS})
target_link_libraries(qvz_lv2_ttl PRIVATE quorvani)
set_target_properties(qvz_lv2_ttl PROPERTIES BUILD_RPATH "${CMAKE_BINARY_DIR}/lib")
add_custom_command(OUTPUT ${QVZ_LV2_BUNDLE}/manifest.ttl
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QVZ_LV2_BUNDLE}
  COMMAND qvz_lv2_ttl ${QVZ_LV2_BUNDLE} ${QVZ_LV2_BINARY}
  DEPENDS qvz_lv2_ttl
  COMMENT "LV2 descriptions")
add_custom_target(quorvani_lv2_ttl ALL DEPENDS ${QVZ_LV2_BUNDLE}/manifest.ttl)
add_dependencies(quorvani_lv2 quorvani_lv2_ttl)

install(DIRECTORY ${QVZ_LV2_BUNDLE} DESTINATION lib/lv2)

# ---- tests: a lilv host of our own (tests/lv2) and the third-party tools (tests/lv2/*.sh) --------
if(TARGET qvz_tests)
  pkg_check_modules(LILV IMPORTED_TARGET lilv-0)
endif()
if(LILV_FOUND)
  file(GLOB QVZ_LV2_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/lv2/*.cpp)
  # The robustness suite's interposer counts heap calls and locks made inside run().
  add_executable(qvz_lv2_tests ${QVZ_LV2_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/robust/RealtimeGuard.cpp)
  target_include_directories(qvz_lv2_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/robust)
  target_compile_options(qvz_lv2_tests PRIVATE ${QVZ_OWN_WARNINGS})
  target_link_libraries(qvz_lv2_tests PRIVATE PkgConfig::LILV PkgConfig::LV2 PkgConfig::SNDFILE qvzdescriptions
    GTest::gtest GTest::gtest_main Threads::Threads ${CMAKE_DL_LIBS})
  add_dependencies(qvz_lv2_tests quorvani_lv2)
  gtest_discover_tests(qvz_lv2_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS lv2
    ENVIRONMENT "QVZ_BUILD=${CMAKE_BINARY_DIR}")
  file(GLOB QVZ_LV2_TOOL_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/lv2/test_*.sh)
  foreach(script ${QVZ_LV2_TOOL_TESTS})
    get_filename_component(stem ${script} NAME_WE)
    add_test(NAME lv2.${stem} COMMAND bash ${script} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(lv2.${stem} PROPERTIES LABELS lv2 TIMEOUT 300
      ENVIRONMENT "QVZ_BUILD=${CMAKE_BINARY_DIR};QVZ_SOURCE=${CMAKE_SOURCE_DIR}")
    # A real-time JACK client records sample-exact timing: nothing else runs beside it.
    if(stem MATCHES "jalv")
      set_tests_properties(lv2.${stem} PROPERTIES RUN_SERIAL TRUE)
    endif()
  endforeach()
endif()
