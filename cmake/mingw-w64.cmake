# Cross-compiling the Windows programs on Linux with MinGW-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OMBRANE_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model: GoogleTest, built for the Wine tests, needs
# std::mutex, which the win32 model of this GCC lacks. Linking is static,
# so the programs still need no MinGW DLL.
find_program(OMBRANE_MINGW_GCC NAMES ${OMBRANE_MINGW_PREFIX}-gcc-posix ${OMBRANE_MINGW_PREFIX}-gcc REQUIRED)
find_program(OMBRANE_MINGW_GXX NAMES ${OMBRANE_MINGW_PREFIX}-g++-posix ${OMBRANE_MINGW_PREFIX}-g++ REQUIRED)
set(CMAKE_C_COMPILER   ${OMBRANE_MINGW_GCC})
set(CMAKE_CXX_COMPILER ${OMBRANE_MINGW_GXX})
set(CMAKE_RC_COMPILER  ${OMBRANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OMBRANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The printf family must format floats exactly as the native build does
# (reports, titles), so use MinGW's own implementation, not msvcrt's.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# A single .exe that runs on a bare Windows or Wine: no MinGW runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
