# ZORVEL_FUZZ=ON (clang, scripts/fuzz): the library built for libFuzzer.
if(ZORVEL_FUZZ)
  # Library code carries the coverage instrumentation and the sanitizers;
  # the fuzz executables add the libFuzzer driver (fuzz/CMakeLists.txt).
  target_compile_options(zorvel_base INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(zorvel_base INTERFACE -fsanitize=address,undefined)
endif()
