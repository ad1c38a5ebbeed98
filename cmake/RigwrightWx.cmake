# rigwright_wx: an interface target carrying wxWidgets (GTK 3) compile flags and libraries.
# rigwright_wx_base: the toolkit's base library alone (strings, command-line parsing), for programs
# without windows such as the command-line tool. Its flags say "no GUI": a target links one of the
# two, never both.
include_guard(GLOBAL)

# Found first with the base component alone: each find_package call sets the same variables.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS base)
add_library(rigwright_wx_base INTERFACE)
target_include_directories(rigwright_wx_base SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(rigwright_wx_base INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(rigwright_wx_base INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(rigwright_wx_base INTERFACE ${wxWidgets_LIBRARIES})

find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base)
add_library(rigwright_wx INTERFACE)
target_include_directories(rigwright_wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(rigwright_wx INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(rigwright_wx INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(rigwright_wx INTERFACE ${wxWidgets_LIBRARIES})

if(RIGWRIGHT_SANITIZE)
  target_sources(rigwright_wx INTERFACE "${CMAKE_CURRENT_LIST_DIR}/toolkit_leak_suppressions.cpp")
endif()
