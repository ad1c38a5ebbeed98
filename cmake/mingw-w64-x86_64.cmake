# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread model, so that
# std::thread and std::mutex work), against the static libraries scripts/windows-sysroot.sh builds.
# Programs built here run under Wine: CMake uses it for build-time tools and for the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RIGWRIGHT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RIGWRIGHT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RIGWRIGHT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RIGWRIGHT_MINGW_TRIPLE}-windres)

# The prefix bakes its own path into its pkg-config and CMake files, so it lives at one fixed place.
if(DEFINED ENV{RIGWRIGHT_MINGW_PREFIX})
  set(RIGWRIGHT_MINGW_PREFIX "$ENV{RIGWRIGHT_MINGW_PREFIX}")
else()
  set(RIGWRIGHT_MINGW_PREFIX /opt/rigwright/mingw-prefix)
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${RIGWRIGHT_MINGW_TRIPLE} ${RIGWRIGHT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(PKG_CONFIG_EXECUTABLE ${RIGWRIGHT_MINGW_TRIPLE}-pkg-config)
set(ENV{PKG_CONFIG_LIBDIR}
    "${RIGWRIGHT_MINGW_PREFIX}/lib/pkgconfig:/usr/${RIGWRIGHT_MINGW_TRIPLE}/lib/pkgconfig")
set(wxWidgets_CONFIG_EXECUTABLE ${RIGWRIGHT_MINGW_PREFIX}/bin/wx-config)

# Every program carries its libraries: the user's machine has none of mingw's DLLs, and Wine would
# quietly supply a zlib1.dll of its own and hide the missing one.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
set(ZLIB_USE_STATIC_LIBS ON)

# Not on PATH in Debian; the WINEPREFIX comes from the environment (the windows preset sets one).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
