# rigwright_add_windows_import_test(): a test that every program and DLL built for Windows imports
# only DLLs that come with Windows itself. Call it after every folder is added.
include_guard(GLOBAL)

function(_rigwright_executables_in dir out)
  set(found)
  get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|MODULE_LIBRARY|SHARED_LIBRARY)$")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    _rigwright_executables_in("${sub}" below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(rigwright_add_windows_import_test)
  _rigwright_executables_in("${PROJECT_SOURCE_DIR}" programs)
  set(files)
  foreach(program IN LISTS programs)
    list(APPEND files "$<TARGET_FILE:${program}>")
  endforeach()
  set(list_file "${PROJECT_BINARY_DIR}/windows-programs.txt")
  file(GENERATE OUTPUT "${list_file}" CONTENT "$<JOIN:${files},\n>\n")
  add_test(NAME windows_programs_import_only_system_dlls
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM_LIST=${list_file}
            -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_windows_imports.cmake")
  set_tests_properties(windows_programs_import_only_system_dlls PROPERTIES LABELS unit)
endfunction()
