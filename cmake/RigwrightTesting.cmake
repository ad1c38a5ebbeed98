include(GoogleTest)

# rigwright_add_tests(<target> LABEL <unit|gui|e2e> SOURCES <files...> LIBRARIES <targets...>)
# Builds one GoogleTest program and registers each of its tests with CTest under the label.
function(rigwright_add_tests target)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE
    RIGWRIGHT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    RIGWRIGHT_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${target}
    PROPERTIES LABELS ${ARG_LABEL}
    DISCOVERY_TIMEOUT 60)
endfunction()
