# velmora_test(NAME
#              SOURCES file...
#              LIBS    target...
#              [WIN32_ONLY]          only in the win32 build (Win32 code under test)
#              [ARGS arg...]         extra command-line arguments
#              [PROPERTIES k v...])  extra CTest properties (RESOURCE_LOCK, TIMEOUT, ...)
# A GoogleTest program. Natively every TEST() is its own CTest test; under
# Wine one CTest test runs the whole program (a Wine start costs ~50 ms).
# velmora_resources(TARGET)
# The program's resources (icons, hand strips, manifest, version) compiled
# into TARGET, and compiled again when a file the resource script names changes.
function(velmora_resources target)
  set(rc ${PROJECT_SOURCE_DIR}/resources/velmora.rc)
  target_sources(${target} PRIVATE ${rc})
  file(GLOB art ${PROJECT_SOURCE_DIR}/resources/*.ico ${PROJECT_SOURCE_DIR}/resources/*.bmp)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS
    "${CMAKE_BINARY_DIR}/generated/velmora.manifest;${PROJECT_SOURCE_DIR}/resources/resource.h;${art}")
endfunction()

function(velmora_test name)
  cmake_parse_arguments(T "WIN32_ONLY;RESOURCES" "" "SOURCES;LIBS;ARGS;PROPERTIES" ${ARGN})
  if(VELMORA_FUZZ OR (T_WIN32_ONLY AND NOT VELMORA_WIN32))
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_RESOURCES)
    velmora_resources(${name})
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(VELMORA_WIN32)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 ${T_ARGS})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 ${T_PROPERTIES})
  else()
    set(extra)
    if(T_ARGS)
      set(extra EXTRA_ARGS ${T_ARGS})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST ${extra}
                         TEST_PREFIX "${name}." PROPERTIES TIMEOUT 120 ${T_PROPERTIES})
  endif()
endfunction()

# velmora_script_test(NAME COMMAND cmd... [PROPERTIES k v...])
# A test written as a script (end-to-end flows, real game servers). It gets the
# build folder and, in the win32 build, the Wine runner in its environment.
function(velmora_script_test name)
  cmake_parse_arguments(T "" "" "COMMAND;PROPERTIES" ${ARGN})
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set(env "VELMORA_BUILD=${CMAKE_BINARY_DIR}" "VELMORA_SOURCE=${PROJECT_SOURCE_DIR}")
  if(VELMORA_WIN32)
    list(APPEND env "VELMORA_WINE_PREFIX=${VELMORA_WINE_PREFIX}" "VELMORA_WINE_ARCH=${VELMORA_WINDOWS_ARCH}")
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300 ${T_PROPERTIES})
endfunction()

# velmora_fuzz(NAME SOURCES file... LIBS target... [SEEDS dir...])
# A libFuzzer target, only in the fuzz build (clang, -DVELMORA_FUZZ=ON). As a
# test it runs for VELMORA_FUZZ_SECONDS with a fixed seed, growing a corpus in
# the build folder from the given seed folders; VELMORA_FUZZ_SECONDS runs it longer.
set(VELMORA_FUZZ_SECONDS 20 CACHE STRING "seconds each fuzz target runs as a test")
function(velmora_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;SEEDS" ${ARGN})
  if(NOT VELMORA_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${VELMORA_FUZZ_SECONDS} -seed=1
           -print_final_stats=1 ${corpus} ${F_SEEDS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
endfunction()
