// The library reports refusals on standard output; a fuzzer feeding it
// thousands of inputs a second wants none of that text. Linked into every
// fuzz target and corpus replay: libFuzzer calls this once before the first
// input, and so does the replay.
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return std::freopen("/dev/null", "w", stdout) == nullptr ? 1 : 0;
}
