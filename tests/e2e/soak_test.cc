// Many calls in one process: calibrations and verifications, passing and
// failing, must give identical output for identical input and leave no
// memory behind. ZORVEL_SOAK_CALLS sets the number of calls (200 for the
// long soak).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer's runtime (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "e2e/simulated_module.h"

namespace zorvel::test {
namespace {

// Bytes the allocator currently hands out (the sanitizer's allocator
// replaces glibc's in the sanitizer build).
size_t bytes_in_use() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // heap chunks and mmapped blocks
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
  write_file(m.file("failing_row.cfg"), read_file(m.file("calibration.cfg")));
  m.set("failing_row.cfg", "scale_difference_threshold_percent", "0.001");
  m.set("failing_row.cfg", "calib_otp_data_file", m.file("never_written.otp"));
  write_file(m.file("missing_capture.cfg"), read_file(m.file("verification.cfg")));
  m.set("missing_capture.cfg", "aux_verify_flat_chart_image", m.file("absent.bmp"));
  const std::vector<call> cycle = {
      {"calibration.cfg", 0, 1},     {"verification.cfg", 0, 1}, {"failing_row.cfg", 0, 0},
      {"missing_capture.cfg", 0, 0}, {"verification.cfg", 6, 0}, {"absent.cfg", 0, 0}};

  const char* env = std::getenv("ZORVEL_SOAK_CALLS");
  const int calls = std::max(env ? std::atoi(env) : 0, static_cast<int>(2 * cycle.size()));
  std::vector<std::string> first(cycle.size());
  size_t baseline = 0;
  for (int i = 0; i < calls; ++i) {
    const size_t k = static_cast<size_t>(i) % cycle.size();
    const run_output out = m.run(cycle[k].config, cycle[k].mode);
    ASSERT_EQ(out.result, cycle[k].expected_result) << "call " << i << "\n" << out.text;
    if (first[k].empty()) first[k] = out.text;
    ASSERT_EQ(out.text, first[k]) << "call " << i;
    if (i + 1 == static_cast<int>(cycle.size())) baseline = bytes_in_use();
  }
  EXPECT_FALSE(m.exists("never_written.otp"));
  // Stdio buffers and the like settle during the first cycle; a leaked
  // working plane alone is over a megabyte.
  ASSERT_GT(baseline, 0u);
  EXPECT_LT(bytes_in_use(), baseline + (256u << 10));
}

}  // namespace
}  // namespace zorvel::test
