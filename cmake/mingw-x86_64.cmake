# 64-bit Windows: the same sources, for running the Windows tests under Wine's
# 64-bit loader on machines whose kernel does not run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMORA_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
