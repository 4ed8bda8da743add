# Cross-build for 64-bit Windows with the MinGW-w64 compilers of the distribution (posix
# threads, so std::thread and std::mutex work). Everything is linked statically: orbelan.exe is
# one file with no MinGW runtime DLLs beside it.
#
#   cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
#         -DORBELAN_GUI=OFF -DORBELAN_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORBELAN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORBELAN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORBELAN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORBELAN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORBELAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and tools run under Wine when it is there (ctest, gtest_discover_tests).
find_program(ORBELAN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ORBELAN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORBELAN_WINE})
endif()
