# Helpers shared by every directory's CMakeLists.txt.

# tallowmere_test(NAME SOURCES a.cc b.cc LIBS x y [LABELS l])
# One GoogleTest executable, registered with CTest test by test. Executables
# labelled "concurrency" also join the target concurrency_tests (the
# ThreadSanitizer run builds only that: scripts/test.sh --thread).
function(tallowmere_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # The source directory is compiled in: gtest_discover_tests cuts a list
  # value at its first ";", so ENVIRONMENT carries one variable only. An
  # empty LABELS value would swallow the next property name, so LABELS is
  # passed only when given.
  target_compile_definitions(${name} PRIVATE TALLOWMERE_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if("concurrency" IN_LIST T_LABELS)
    add_dependencies(concurrency_tests ${name})
  endif()
  if(T_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "TALLOWMERE_BUILD_DIR=${CMAKE_BINARY_DIR}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "TALLOWMERE_BUILD_DIR=${CMAKE_BINARY_DIR}")
  endif()
endfunction()
