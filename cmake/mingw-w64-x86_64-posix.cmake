# Cross build for 64-bit Windows with Debian's mingw-w64, posix-threads variant (the win32-threads
# default lacks std::mutex and std::thread). Only the Qt-free core builds this way:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64-posix.cmake -DKALDOR_CORE_ONLY=ON
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KALDOR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALDOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALDOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KALDOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KALDOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: no compiler runtime DLLs to ship or to find under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest runs the test programs under Wine when it is there. Debian's wine64 loader avoids the
# launcher script's warning about a missing 32-bit Wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(KALDOR_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(KALDOR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KALDOR_WINE})
  endif()
endif()
