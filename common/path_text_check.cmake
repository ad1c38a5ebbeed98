cmake_minimum_required(VERSION 3.20)
# Fails when a path is made from narrow text, or made into it, anywhere but common/path_text.cpp.
# On Windows the library reads a narrow string in the system code page, path.string() writes
# text that does not come back and u8string() throws on some names: PathFromUtf8 and
# Utf8FromPath are the one way between UTF-8 text and paths. The forms caught are the explicit
# ones; a std::string passed where a path is expected converts silently and is not seen here.
#   cmake -DSOURCE_DIR=<checkout> -P common/path_text_check.cmake
set(patterns
  "\\.(u8)?string\\(\\)"                            # a path turned into narrow text
  "path( [A-Za-z_]+)?\\((std::)?string[ (_]"        # a path made from a std::string
  "path( [A-Za-z_]+)?\\([^;]*\\.(utf8_string|ToStdString)\\(\\)"  # ... from other text
  "/ (std::)?string[ (_]"                           # a std::string joined to a path
  "(^|[^_A-Za-z])fopen\\(")                         # the C library's narrow open
# POSIX paths are bytes, so narrow text is their own form there; tests build their paths from
# ASCII temporary folders.
set(skipped "_posix\\.cpp$|_test\\.cpp$|_test_util\\.h$|/testing/|perftest|/common/path_text\\.cpp$")
# Files whose narrow paths are meant, and why.
# The stand-in host's library does not link our conversion and stands for a program of its own:
# its file interface takes narrow names as they come, and its messages name files as it can.
set(allowed standin/host/host_files.cpp standin/host/binary_stl.cpp standin/host/part_file.cpp)

file(GLOB_RECURSE sources LIST_DIRECTORIES false
  ${SOURCE_DIR}/addin/*.cpp ${SOURCE_DIR}/addin/*.h ${SOURCE_DIR}/common/*.cpp ${SOURCE_DIR}/common/*.h
  ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/tools/*.h
  ${SOURCE_DIR}/wrapper/*.cpp ${SOURCE_DIR}/wrapper/*.h ${SOURCE_DIR}/standin/*.cpp ${SOURCE_DIR}/standin/*.h
  ${SOURCE_DIR}/hostapi/*.cpp ${SOURCE_DIR}/hostapi/*.h)
set(found 0)
foreach(source IN LISTS sources)
  file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
  if("/${relative}" MATCHES "${skipped}" OR relative IN_LIST allowed)
    continue()
  endif()
  file(STRINGS ${source} lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    foreach(pattern IN LISTS patterns)
      if(line MATCHES "${pattern}")
        string(STRIP "${line}" line)
        message("${relative}:${number}: a path from or to narrow text: ${line}")
        math(EXPR found "${found} + 1")
        break()
      endif()
    endforeach()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "${found} line(s) convert between paths and narrow text outside "
                      "common/path_text.cpp: use PathFromUtf8 / Utf8FromPath")
endif()
