# 32-bit Windows: the program players run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELMORA_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
