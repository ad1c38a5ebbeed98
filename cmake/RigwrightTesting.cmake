include(GoogleTest)

# rigwright_add_tests(<target> LABEL <unit|gui|e2e> [WX_MAIN] SOURCES <files...>
#                     LIBRARIES <targets...>)
# Builds one GoogleTest program and registers each of its tests with CTest under the label.
# WX_MAIN gives the program a main() that starts wxWidgets before the tests (it needs a display:
# ./test.sh runs the suite under Xvfb).
function(rigwright_add_tests target)
  cmake_parse_arguments(ARG "WX_MAIN" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock)
  if(ARG_WX_MAIN)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/common/testing/wx_test_main.cpp)
    target_link_libraries(${target} PRIVATE rigwright_wx)
  else()
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${target} PRIVATE
    RIGWRIGHT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    RIGWRIGHT_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${target}
    PROPERTIES LABELS ${ARG_LABEL}
    DISCOVERY_TIMEOUT 60)
endfunction()
