# rigwright_wx: an interface target carrying wxWidgets (GTK 3) compile flags and libraries.
include_guard(GLOBAL)

find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base)
add_library(rigwright_wx INTERFACE)
target_include_directories(rigwright_wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(rigwright_wx INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(rigwright_wx INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(rigwright_wx INTERFACE ${wxWidgets_LIBRARIES})

if(RIGWRIGHT_SANITIZE)
  target_sources(rigwright_wx INTERFACE "${CMAKE_CURRENT_LIST_DIR}/toolkit_leak_suppressions.cpp")
endif()

# rigwright_wx_base: the toolkit's non-GUI library alone (logging, strings, dates), for code that
# runs where no window may be made. Found in a function so that the variables of the full
# toolkit above stay as they are.
if(NOT TARGET rigwright_wx_base)
  function(rigwright_find_wx_base)
    find_package(wxWidgets 3.2 REQUIRED COMPONENTS base)
    add_library(rigwright_wx_base INTERFACE)
    target_include_directories(rigwright_wx_base SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
    target_compile_definitions(rigwright_wx_base INTERFACE ${wxWidgets_DEFINITIONS})
    target_compile_options(rigwright_wx_base INTERFACE ${wxWidgets_CXX_FLAGS})
    target_link_libraries(rigwright_wx_base INTERFACE ${wxWidgets_LIBRARIES})
  endfunction()
  rigwright_find_wx_base()
endif()
