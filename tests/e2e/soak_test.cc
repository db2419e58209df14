// Many calls in one process: calibrations and verifications, passing and
// failing, must give identical output for identical input and leave no
// memory behind (LeakSanitizer checks the sanitizer build at exit; glibc's
// allocator statistics check the others). ZORVEL_SOAK_CALLS sets the number
// of calls (200 for the long soak).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "e2e/simulated_module.h"

namespace zorvel::test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultCalls = 12;
#else
constexpr int kDefaultCalls = 24;
#endif

int soak_calls() {
  const char* text = std::getenv("ZORVEL_SOAK_CALLS");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : kDefaultCalls;
}

// Bytes the allocator currently hands out; 0 where it cannot tell.
size_t bytes_in_use() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
  return mallinfo2().uordblks;
#else
  return 0;
#endif
}

struct call {
  std::string config;
  uint8_t mode;
  int32_t expected_result;
};

TEST(Soak, RepeatedCallsGiveIdenticalOutputAndKeepNoMemory) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  m.copy("calibration.cfg", "failing_row.cfg");
  m.set("failing_row.cfg", "scale_difference_threshold_percent", "0.001");
  m.set("failing_row.cfg", "calib_otp_data_file", m.file("never_written.otp"));
  m.copy("verification.cfg", "missing_capture.cfg");
  m.set("missing_capture.cfg", "aux_verify_flat_chart_image", m.file("absent.bmp"));

  const std::vector<call> cycle = {
      {"calibration.cfg", 0, 1},   {"verification.cfg", 0, 1},   {"failing_row.cfg", 0, 0},
      {"missing_capture.cfg", 0, 0}, {"verification.cfg", 6, 0}, {"absent.cfg", 0, 0}};
  std::vector<std::string> first(cycle.size());
  size_t baseline = 0;
  const int calls = soak_calls();
  for (int i = 0; i < calls; ++i) {
    const size_t k = static_cast<size_t>(i) % cycle.size();
    const run_output out = m.run(cycle[k].config, cycle[k].mode);
    ASSERT_EQ(out.result, cycle[k].expected_result) << "call " << i << "\n" << out.text;
    if (first[k].empty()) {
      first[k] = out.text;
    } else {
      ASSERT_EQ(out.text, first[k]) << "call " << i;
    }
    if (i + 1 == static_cast<int>(cycle.size())) baseline = bytes_in_use();
  }
  EXPECT_FALSE(m.exists("never_written.otp"));
  if (baseline > 0) {
    // Stdio buffers and the like may settle after the first cycle; a leak of
    // the working planes would grow by megabytes per call.
    EXPECT_LT(bytes_in_use(), baseline + (256u << 10));
  }
}

}  // namespace
}  // namespace zorvel::test
