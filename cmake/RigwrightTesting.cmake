include(GoogleTest)

# rigwright_add_tests(<target> LABEL <unit|gui|e2e> [WX_MAIN] [RESOURCE_LOCK <name>]
#                     SOURCES <files...> LIBRARIES <targets...>)
# Builds one GoogleTest program and registers each of its tests with CTest under the label.
# WX_MAIN gives the program a main() that starts wxWidgets before the tests (it needs a display).
# GUI tests run on a virtual display of their own, one program at a time, so that they pass from
# a plain ctest run as well as from ./test.sh; on Windows they run under Wine on the display that
# Wine's server was started with. RESOURCE_LOCK keeps tests that share a machine-wide resource
# (such as the install folder's registry value) from running side by side.
function(rigwright_add_tests target)
  cmake_parse_arguments(ARG "WX_MAIN" "LABEL;RESOURCE_LOCK" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${target} ${ARG_SOURCES})
  # The test support in common/testing takes paths apart with rigwright_common's rules and sets
  # environment variables through rigwright_platform.
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} rigwright_common rigwright_platform
                                          GTest::gtest GTest::gmock)
  if(ARG_WX_MAIN)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/common/testing/wx_test_main.cpp)
    target_link_libraries(${target} PRIVATE rigwright_wx)
  else()
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${target} PRIVATE
    RIGWRIGHT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    RIGWRIGHT_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(extra_properties)
  if(ARG_RESOURCE_LOCK)
    list(APPEND extra_properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  if(ARG_LABEL STREQUAL "gui" AND NOT WIN32)
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR
      "${CMAKE_SOURCE_DIR}/cmake/run-with-virtual-display.sh")
    # Servers started at the same moment could pick the same display number.
    list(APPEND extra_properties RESOURCE_LOCK rigwright_virtual_display)
  endif()
  gtest_discover_tests(${target}
    PROPERTIES LABELS ${ARG_LABEL} ${extra_properties}
    DISCOVERY_TIMEOUT 60)
endfunction()
