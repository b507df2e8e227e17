# Debian's mingw-w64 (posix thread model) for the processor that the including toolchain file names.
set(CMAKE_SYSTEM_NAME Windows)
set(KELVANE_MINGW ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${KELVANE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVANE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVANE_MINGW}-windres)
set(CMAKE_DLLTOOL ${KELVANE_MINGW}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${KELVANE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The emulator is chosen by the project (scripts/wine-run), not here, so that it carries the prefix.
