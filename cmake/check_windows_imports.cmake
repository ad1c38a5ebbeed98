# Fails when a Windows program or DLL imports a DLL that is not part of Windows (or one of the
# host's DLLs, HOST_DLLS): such a program starts here under Wine (which supplies many DLLs of its
# own) and then fails on the user's machine.
#   cmake -DOBJDUMP=<objdump> -DPROGRAM_LIST=<file with one program per line>
#         [-DHOST_DLLS=<names>] -P <this file>
cmake_minimum_required(VERSION 3.25)

# Part of every Windows the programs support (compared without case).
set(system_dlls
  advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll gdiplus.dll
  imm32.dll kernel32.dll msimg32.dll msvcrt.dll ntdll.dll ole32.dll oleacc.dll oleaut32.dll
  rpcrt4.dll secur32.dll shell32.dll shlwapi.dll ucrtbase.dll user32.dll userenv.dll
  uxtheme.dll version.dll winhttp.dll wininet.dll winmm.dll winspool.drv ws2_32.dll)

string(TOLOWER "${HOST_DLLS}" host_dlls)
list(APPEND system_dlls ${host_dlls})

file(STRINGS "${PROGRAM_LIST}" programs)
if(NOT programs)
  message(FATAL_ERROR "${PROGRAM_LIST} lists no programs")
endif()

set(offending)
foreach(program IN LISTS programs)
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "${program} has not been built")
  endif()
  execute_process(COMMAND "${OBJDUMP}" -p "${program}"
    OUTPUT_VARIABLE dump ERROR_VARIABLE error RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${program} failed: ${error}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  if(NOT imports)
    message(FATAL_ERROR "${program}: no import table found in the output of ${OBJDUMP} -p")
  endif()
  set(names)
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" name "${import}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" lower)
    list(APPEND names ${name})
    if(NOT lower IN_LIST system_dlls AND NOT lower MATCHES "^api-ms-win-")
      list(APPEND offending "${program}: ${name}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES names)
  get_filename_component(short "${program}" NAME)
  list(JOIN names ", " names)
  message(STATUS "${short}: ${names}")
endforeach()

if(offending)
  list(JOIN offending "\n  " offending)
  message(FATAL_ERROR "Programs import DLLs that Windows does not have:\n  ${offending}")
endif()
