include(GoogleTest)

# rigwright_add_tests(<target> LABEL <unit|gui|e2e> SOURCES <files...> LIBRARIES <targets...>)
# Builds one GoogleTest program and registers each of its tests with CTest under the label.
# Programs labelled gui start wxWidgets before their tests (they need a display: ./test.sh runs
# the suite under Xvfb) and keep the leak checker off, since the toolkit's caches outlive main.
function(rigwright_add_tests target)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock)
  set(environment "")
  if(ARG_LABEL STREQUAL "gui")
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/common/testing/wx_test_main.cpp)
    target_link_libraries(${target} PRIVATE rigwright_wx)
    set(environment "ASAN_OPTIONS=detect_leaks=0")
  else()
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${target} PRIVATE
    RIGWRIGHT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    RIGWRIGHT_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${target}
    PROPERTIES LABELS ${ARG_LABEL} ENVIRONMENT "${environment}"
    DISCOVERY_TIMEOUT 60)
endfunction()
