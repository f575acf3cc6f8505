# Shared part of the mingw-w64 toolchain files: Debian's compilers with the posix thread
# model (std::thread and std::mutex work), programs found on the build machine, libraries
# and headers only in the target's own tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TARNU_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNU_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNU_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNU_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run under Wine when one is installed.
find_program(TARNU_WINE NAMES wine)
if(TARNU_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNU_WINE})
endif()
