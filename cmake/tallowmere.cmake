# Helpers shared by every directory's CMakeLists.txt.

# tallowmere_test(NAME SOURCES a.cc b.cc LIBS x y [LABELS l])
# One GoogleTest executable, registered with CTest test by test.
function(tallowmere_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}"
               ENVIRONMENT "TALLOWMERE_BUILD_DIR=${CMAKE_BINARY_DIR};TALLOWMERE_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
