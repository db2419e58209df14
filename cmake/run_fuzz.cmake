# Script behind the fuzz target (cmake -P): clang sub-build with ZORVEL_FUZZ=ON,
# then every fuzz/<name>_fuzz.cc target for ZORVEL_FUZZ_SECONDS seconds. The
# working corpus of each target lives in the sub-build; files in
# fuzz/corpus/<name>/ are its starting inputs. Crashes land in
# <sub-build>/artifacts and fail the run.
foreach(var ZORVEL_SOURCE_DIR ZORVEL_FUZZ_BUILD_DIR ZORVEL_FUZZ_SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

find_program(FUZZ_CC NAMES clang clang-14 REQUIRED)
find_program(FUZZ_CXX NAMES clang++ clang++-14 REQUIRED)

execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${ZORVEL_SOURCE_DIR} -B ${ZORVEL_FUZZ_BUILD_DIR}
    -DCMAKE_C_COMPILER=${FUZZ_CC} -DCMAKE_CXX_COMPILER=${FUZZ_CXX}
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVEL_FUZZ=ON
    -DZORVEL_BUILD_TESTS=OFF -DZORVEL_BUILD_TOOLS=OFF -DZORVEL_BUILD_BENCH=OFF
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring the fuzz build failed")
endif()

file(GLOB fuzz_sources ${ZORVEL_SOURCE_DIR}/fuzz/*_fuzz.cc)
set(fuzz_targets "")
foreach(src IN LISTS fuzz_sources)
  get_filename_component(name ${src} NAME_WE)
  list(APPEND fuzz_targets zorvel_${name})
endforeach()
if(NOT fuzz_targets)
  message(FATAL_ERROR "no fuzz targets in ${ZORVEL_SOURCE_DIR}/fuzz")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${ZORVEL_FUZZ_BUILD_DIR} -j2 --target ${fuzz_targets}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building the fuzz targets failed")
endif()

set(failed "")
foreach(src IN LISTS fuzz_sources)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" short ${name})
  set(exe ${ZORVEL_FUZZ_BUILD_DIR}/fuzz/zorvel_${name})
  set(corpus ${ZORVEL_FUZZ_BUILD_DIR}/corpus/${short})
  set(artifacts ${ZORVEL_FUZZ_BUILD_DIR}/artifacts)
  file(MAKE_DIRECTORY ${corpus} ${artifacts})
  set(inputs ${corpus})
  if(IS_DIRECTORY ${ZORVEL_SOURCE_DIR}/fuzz/corpus/${short})
    list(APPEND inputs ${ZORVEL_SOURCE_DIR}/fuzz/corpus/${short})
  endif()
  message(STATUS "fuzzing ${short} for ${ZORVEL_FUZZ_SECONDS} s")
  execute_process(
    COMMAND ${exe} -max_total_time=${ZORVEL_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
      -print_final_stats=1 -artifact_prefix=${artifacts}/${short}- ${inputs}
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(APPEND failed ${short})
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "fuzz targets found failures: ${failed} (inputs in ${ZORVEL_FUZZ_BUILD_DIR}/artifacts)")
endif()
message(STATUS "all fuzz targets ran clean")
