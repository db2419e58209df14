# Checks that every #include "folder/..." in src/, sim/ and tools/ points down
# the layers: driver -> calib, verify -> stereo -> detect -> image, numerics,
# otp, config -> common. Run as a test: cmake -DROOT=<source dir> -P check_layers.cmake
cmake_minimum_required(VERSION 3.20)
set(allowed_common common)
set(allowed_config config common)
set(allowed_otp otp numerics common)
set(allowed_image image common)
set(allowed_numerics numerics common)
set(allowed_detect detect image numerics common)
set(allowed_stereo stereo detect image numerics common)
set(allowed_calib calib stereo detect image numerics common)
set(allowed_verify verify stereo detect image numerics common)
set(allowed_driver driver common calib verify stereo detect image numerics otp config zorvel)
# The simulator and the chart generator sit beside the library, never inside
# the run: they may use its low layers but no driver.
set(allowed_sim sim image numerics config common)
# The command runs the library's own entry to read what the run found, and
# lists stored records with the library's reader.
set(allowed_tools sim zorvel driver otp common)

file(GLOB_RECURSE sources RELATIVE ${ROOT}
  ${ROOT}/src/*.h ${ROOT}/src/*.cc ${ROOT}/sim/*.h ${ROOT}/sim/*.cc ${ROOT}/tools/*.cc)
set(violations "")
foreach(f IN LISTS sources)
  string(REGEX MATCH "^(src/)?([a-z]+)/" _ "${f}")
  set(layer ${CMAKE_MATCH_2})
  file(STRINGS ${ROOT}/${f} includes REGEX "^#include \"[a-z_]+/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "^#include \"([a-z_]+)/" _ "${line}")
    set(target ${CMAKE_MATCH_1})
    if(NOT target IN_LIST allowed_${layer})
      string(APPEND violations "  ${f}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "includes that point up or sideways across the layers:\n${violations}")
endif()
message(STATUS "layers point down: ${ROOT}")
