# `cmake --build <dir> --target fuzz`: configures a clang sub-build with
# ZORVEL_FUZZ=ON and runs every fuzz/*_fuzz.cc target for a bounded time.
if(ZORVEL_FUZZ)
  # Library code carries the coverage instrumentation and the sanitizers;
  # the fuzz executables add the libFuzzer driver (fuzz/CMakeLists.txt).
  target_compile_options(zorvel_base INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(zorvel_base INTERFACE -fsanitize=address,undefined)
else()
  set(ZORVEL_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under the fuzz target")
  add_custom_target(fuzz
    COMMAND ${CMAKE_COMMAND}
      -DZORVEL_SOURCE_DIR=${PROJECT_SOURCE_DIR}
      -DZORVEL_FUZZ_BUILD_DIR=${PROJECT_BINARY_DIR}/fuzz-build
      -DZORVEL_FUZZ_SECONDS=${ZORVEL_FUZZ_SECONDS}
      -P ${PROJECT_SOURCE_DIR}/cmake/run_fuzz.cmake
    USES_TERMINAL
    COMMENT "Building and running the fuzz targets (${ZORVEL_FUZZ_SECONDS} s each)")
endif()
