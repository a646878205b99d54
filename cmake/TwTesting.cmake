include(GoogleTest)

# tw_add_test(<name> LABEL <label> SOURCES ... LIBS ...)
#   A GoogleTest program in tests/, each of its tests registered with ctest under <label>.
function(tw_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TW_TEST_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} twtesting GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE TW_BIN_DIR="${TW_BIN_DIR}" TW_TEST_DIR="${TW_TEST_DIR}"
                                             TW_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()
