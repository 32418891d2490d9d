# Cross-compiles the Windows x86_64 program with Debian's MinGW-w64 (posix threads flavour).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PARVOX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PARVOX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PARVOX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PARVOX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PARVOX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests run under Wine; scripts/dev.sh provides the prefix and the display.
find_program(PARVOX_WINE NAMES wine wine64)
if(PARVOX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PARVOX_WINE})
endif()
