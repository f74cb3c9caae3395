# The Windows libraries a second copy of the program never calls are loaded
# on their first call instead of at the start: a copy that only hands its
# link over to the running one then loads no more than user32 and kernel32.
#
# For each library below, a delay-import library named like the system's
# import library (lib<name>.a) is made into the build folder, which
# velmora_delayloaded(target) puts first in that target's search path, so
# every -l<name> of its link takes it. It holds the functions the program
# uses, named as the system's import library names them (decorated with @N on
# 32-bit Windows); a call of any other one fails to link.
set(VELMORA_DELAYLOAD_DIR ${CMAKE_BINARY_DIR}/delayload)

function(velmora_delayload dll)
  get_filename_component(base ${dll} NAME_WE)
  string(TOLOWER ${base} base)
  find_library(VELMORA_IMPLIB_${base} NAMES ${base} NO_CMAKE_PATH NO_CMAKE_ENVIRONMENT_PATH)
  if(NOT VELMORA_IMPLIB_${base})
    message(FATAL_ERROR "no import library for ${dll}")
  endif()
  execute_process(COMMAND ${CMAKE_NM} ${VELMORA_IMPLIB_${base}} OUTPUT_VARIABLE symbols)
  set(def "LIBRARY ${dll}\nEXPORTS\n")
  foreach(function ${ARGN})
    if(symbols MATCHES "__imp__?(${function}(@[0-9]+)?)[\r\n]")
      string(APPEND def "${CMAKE_MATCH_1}\n")
    else()
      message(FATAL_ERROR "${dll} does not export ${function}")
    endif()
  endforeach()
  file(MAKE_DIRECTORY ${VELMORA_DELAYLOAD_DIR})
  file(WRITE ${VELMORA_DELAYLOAD_DIR}/${base}.def "${def}")
  # --kill-at: the DLL exports the names without their @N.
  execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${VELMORA_DELAYLOAD_DIR}/${base}.def
                          --dllname ${dll} --output-delaylib ${VELMORA_DELAYLOAD_DIR}/lib${base}.a
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dlltool could not make the delay-import library of ${dll}")
  endif()
endfunction()

velmora_delayload(shell32.dll SHChangeNotify SHGetFileInfoA ShellExecuteA Shell_NotifyIconA)
velmora_delayload(comctl32.dll ImageList_Add ImageList_Create ImageList_Destroy ImageList_Draw ImageList_DrawEx
                  ImageList_GetIconSize ImageList_GetImageCount ImageList_ReplaceIcon InitCommonControlsEx)
velmora_delayload(comdlg32.dll GetOpenFileNameA)
velmora_delayload(winmm.dll timeBeginPeriod timeEndPeriod timeGetTime)

function(velmora_delayloaded target)
  target_link_directories(${target} BEFORE PRIVATE ${VELMORA_DELAYLOAD_DIR})
endfunction()
