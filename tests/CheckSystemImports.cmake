# Fails unless every DLL that an executable imports ships with Windows, so that parvox.exe runs
# on its own, straight out of the zip.
# FORBIDDEN names system DLLs it must not import either.
#   cmake -DOBJDUMP=<x86_64-w64-mingw32-objdump> -DEXECUTABLE=<path> [-DFORBIDDEN=a;b]
#         -P CheckSystemImports.cmake
cmake_minimum_required(VERSION 3.20)

set(system_dlls
  advapi32 bcrypt comctl32 crypt32 comdlg32 gdi32 iphlpapi kernel32 msvcrt netapi32 ole32 oleaut32 secur32 shell32
  shlwapi ucrtbase user32 uxtheme version ws2_32)

execute_process(COMMAND "${OBJDUMP}" -p "${EXECUTABLE}"
                OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXECUTABLE} failed: ${errors}")
endif()
# Plain and delay-loaded imports alike.
string(REGEX MATCHALL "DLL Name: [^\r\n]+" entries "${dump}")
if(NOT entries)
  message(FATAL_ERROR "${EXECUTABLE} shows no imported DLL at all: not a Windows executable?")
endif()

set(foreign "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^DLL Name: *" "" dll "${entry}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" name)
  string(REGEX REPLACE "\\.dll$" "" name "${name}")
  # The universal C runtime's API sets are part of every Windows since 10.
  if(name IN_LIST FORBIDDEN)
    list(APPEND foreign "${dll}")
  elseif(name IN_LIST system_dlls OR name MATCHES "^api-ms-win-crt-")
    message(STATUS "imports ${dll}")
  else()
    list(APPEND foreign "${dll}")
  endif()
endforeach()
if(foreign)
  list(JOIN foreign ", " foreign)
  message(FATAL_ERROR
          "${EXECUTABLE} needs DLLs that do not ship with Windows or that it must not load: ${foreign}")
endif()
