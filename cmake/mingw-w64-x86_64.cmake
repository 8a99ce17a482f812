# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX threads
# flavour, for std::thread and friends), linked statically so that the
# executables need no DLL beside them. Built programs and tests run under
# Wine through cmake/wine-run.sh, with one Wine prefix in the build folder.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QEL_MINGW}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc, libstdc++ or winpthread DLL to ship: -static takes the static
# winpthread too, which -static-libgcc -static-libstdc++ alone would not.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Every built program (tests, test discovery) runs under Wine, with the
# prefixes kept in the build folder's wine/.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wine")
