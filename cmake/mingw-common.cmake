# Windows through Debian's mingw-w64, for the target named by VELMORA_MINGW.
# The posix thread model is the one whose libstdc++ has std::mutex (googletest
# needs it); -static keeps libwinpthread, libgcc and libstdc++ inside every
# .exe and .vlm.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${VELMORA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER  ${VELMORA_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
