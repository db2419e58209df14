// Modules other than the good one, one per property: each mounting (turned
// right or left, aux on either side), lens distortion, mono and mixed
// sensors calibrates to the module's own angles and verifies; an aux camera
// that moved after calibration fails the verification.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e/simulated_module.h"
#include "otp/otp_record.h"
#include "sim/geometry.h"

namespace zorvel::test {
namespace {

struct module_case {
  std::string name;
  std::string base;
  std::function<void(sim::scenario&)> change;
  int32_t verified;         // expected verification result and its failing rows
  std::vector<std::string> failing = {};
  std::string verify_shows = "";  // a piece the verification prints
};

const module_case kCases[] = {
    {"portrait_turned_right", "portrait", [](sim::scenario&) {}, 1, {}, "SWAP DIMENSIONS\n"},
    {"portrait_turned_left", "portrait", [](sim::scenario& s) { s.module.rotation_flag = 2; }, 1,
     {}, "SWAP DIMENSIONS\n"},
    {"aux_left_of_main", "good", [](sim::scenario& s) { s.module.position_flag = 1; }, 1},
    {"distorted", "distorted", [](sim::scenario&) {}, 1, {}, "\n Unwarp AUX DONE"},
    {"mono", "mono", [](sim::scenario&) {}, 1},
    {"colour_main_mono_aux", "good", [](sim::scenario& s) { s.module.aux.mono = true; }, 1},
    {"mono_main_colour_aux", "good", [](sim::scenario& s) { s.module.main.mono = true; }, 1},
    // Half a degree of pitch moves the aux rows by about 9 pixels.
    {"aux_moved_after_calibration", "tilted-aux", [](sim::scenario&) {}, 0,
     {"Flat-chart: Residual vertical disparity [pixels]", "Flat-chart: Vertical Disparity ["}},
};

void PrintTo(const module_case& c, std::ostream* out) { *out << c.name; }

class Modules : public ::testing::TestWithParam<module_case> {};

TEST_P(Modules, CalibrateToTheirOwnAnglesAndVerify) {
  const module_case& c = GetParam();
  sim::scenario s = preset(c.base);
  c.change(s);
  simulated_module m(s);
  ASSERT_EQ(m.error(), "");

  const run_output cal = m.run("calibration.cfg");
  ASSERT_EQ(cal.result, 1) << cal.text;
  EXPECT_EQ(count_of(cal.text, "PASS\n"), 8);
  EXPECT_EQ(m.size_of("calibration.otp"), kOtpFileSize);
  const sim::angles_deg truth = sim::library_angles_from_rotation(sim::aux_rotation(s.module));
  EXPECT_NEAR(printed_value(cal.text, "relative_pitch_degrees"), truth.pitch, 0.1);
  EXPECT_NEAR(printed_value(cal.text, "relative_yaw_degrees"), truth.yaw, 0.1);
  EXPECT_NEAR(printed_value(cal.text, "relative_roll_degrees"), truth.roll, 0.1);

  const run_output ver = m.run("verification.cfg");
  EXPECT_EQ(ver.result, c.verified) << ver.text;
  EXPECT_EQ(count_of(ver.text, "PASS\n"), 5 - static_cast<int>(c.failing.size()));
  for (const std::string& row : c.failing) EXPECT_TRUE(row_of(ver.text, row).ends_with("FAIL")) << row;
  EXPECT_NE(ver.text.find(c.verify_shows), std::string::npos);
  if (c.name == "distorted") {
    // Both cameras dewarped, then no aux unwarp: the same verdict.
    const run_output both_dewarped = m.run("verification.cfg", 4);
    EXPECT_EQ(both_dewarped.result, 1) << both_dewarped.text;
    EXPECT_EQ(both_dewarped.text.find("Unwarp AUX"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(E2e, Modules, ::testing::ValuesIn(kCases),
                         [](const auto& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace zorvel::test
