// The good module through a cycle of calls: L and flat calibration, the
// verification that reads its record back, a failing row, the split L-only /
// flat-only calibration through the interim record, and failing
// verifications. The figures are pinned: every printed digit is part of the
// behaviour (the driver tests check how the tables lay them out). Repeating
// the cycle in one process must give identical output and leave no memory
// behind; ZORVEL_SOAK_CALLS sets the number of calls (200 for the long soak).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(ZORVEL_ASAN)
// From the sanitizer's runtime (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "e2e/simulated_module.h"
#include "otp/otp_record.h"
#include "sim/geometry.h"

namespace zorvel::test {
namespace {

// Bytes the allocator currently hands out (the sanitizer's allocator
// replaces glibc's in the sanitizer build).
size_t bytes_in_use() {
#if defined(ZORVEL_ASAN)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // heap chunks and mmapped blocks
#endif
}

const std::string kCalibrationFigures =
    "\n ================ Reference Metrics from Calib ==================\n"
    "FLAT CHART: Residual Vertical Disparity = 0.603343\n"
    "FLAT CHART: Scale Error                 = 0.094837\n"
    "FLAT CHART: STD of Horiz Disparity      = 0.518987\n"
    "L    CHART: Residual Vertical Disparity = 0.612086\n"
    "L    CHART: Scale Error                 = 0.122604\n"
    "L    CHART: Distance Error in Percent   = 1.822966\n";
const std::string kAngles =
    "relative_pitch_degrees=0.390364\nrelative_yaw_degrees=-0.598756\nrelative_roll_degrees=0.310481\n";
const std::string kEnd = "===========================\n";
// The flat-chart rows: name, then value, threshold and verdict as verified.
const char* const kFlatRows[][2] = {
    {"Flat-chart: Residual vertical disparity [pixels]", "0.64       1.00   PASS"},
    {"Flat-chart: STDEV of Horizontal Disparity", "0.68       2.00   PASS"},
    {"Flat-chart: Scale difference [%]", "0.16       1.00   PASS"},
    {"Flat-chart: Vertical Disparity [ FOV/Percentile =  80 / 95 ]", "1.00       2.00   PASS"},
    {"Flat-chart:Horiz disparity Var [ FOV/Percentile =  80 / 95 ]", "2.00       4.00   PASS"},
};

TEST(GoodModule, CycleOfCallsGivesTheRecordedFiguresEveryTimeAndKeepsNoMemory) {
  simulated_module m("good");
  ASSERT_EQ(m.error(), "");
  m.set("failing.cfg", {{"residual_vertical_disparity_threshold_pixels", "0.05"},
                        {"calib_otp_data_file", m.file("never_written.otp")}}, "calibration.cfg");
  m.set("calibration_l_only.cfg", {{"l_chart_origin_distance_threshold_percent", "0.01"},
                                   {"calib_otp_data_file", m.file("never_written.otp")}});
  m.set("missing_capture.cfg", {{"aux_verify_flat_chart_image", m.file("absent.bmp")}}, "verification.cfg");
  const struct {
    std::string config;
    uint8_t mode;
    int32_t result;
  } cycle[] = {{"calibration.cfg", 0, 1},        {"verification.cfg", 0, 1},          {"failing.cfg", 0, 0},
               {"calibration_l_only.cfg", 0, 0}, {"calibration_flat_only.cfg", 0, 1}, {"verification.cfg", 0, 1},
               {"missing_capture.cfg", 0, 0},    {"verification.cfg", 6, 0},          {"absent.cfg", 0, 0}};
  const size_t n = std::size(cycle);
  const char* env = std::getenv("ZORVEL_SOAK_CALLS");
  const size_t calls = std::max<size_t>(env ? std::atoi(env) : 0, 2 * n);
  std::vector<std::string> first(n);
  size_t baseline = 0;
  for (size_t i = 0; i < calls; ++i) {
    const auto& c = cycle[i % n];
    const run_output out = m.run(c.config, c.mode);
    ASSERT_EQ(out.result, c.result) << "call " << i << "\n" << out.text;
    if (i < n) first[i] = out.text;
    ASSERT_EQ(out.text, first[i % n]) << "call " << i;
    if (i + 1 == n) baseline = bytes_in_use();
  }
  // Stdio buffers and the like settle during the first cycle; a leaked
  // working plane alone is over a megabyte.
  ASSERT_GT(baseline, 0u);
  EXPECT_LT(bytes_in_use(), baseline + (256u << 10));
  EXPECT_FALSE(m.exists("never_written.otp"));  // neither a failing row nor an L-only run writes it
  EXPECT_EQ(m.size_of("calibration_interim.otp"), kInterimFileSize);

  const std::string& cal = first[0];
  EXPECT_EQ(count_of(cal, "PASS\n"), 8);
  EXPECT_TRUE(in_order(cal, {"\n Reading L and Flat", " ==== Debug Info ===== ", kCalibrationFigures,
                             "Calibration verification results ...\n\n", "Writing calibration OTP data to " +
                             m.file("calibration.otp") + " ...\n\n" + kAngles + kEnd})) << cal;
  // Beyond the figures, the calibration table's percentile rows.
  EXPECT_TRUE(row_of(cal, kFlatRows[3][0]).ends_with("1.10       2.00   PASS"));
  EXPECT_TRUE(row_of(cal, kFlatRows[4][0]).ends_with("2.00       4.00   PASS"));
  // The simulator's truth, independently of the recorded figures.
  const sim::angles_deg truth = sim::library_angles_from_rotation(sim::aux_rotation(m.scenario().module));
  EXPECT_NEAR(printed_value(cal, "relative_pitch_degrees"), truth.pitch, 0.1);
  EXPECT_NEAR(printed_value(cal, "relative_yaw_degrees"), truth.yaw, 0.1);
  EXPECT_NEAR(printed_value(cal, "relative_roll_degrees"), truth.roll, 0.1);

  const std::string& ver = first[1];
  EXPECT_TRUE(in_order(ver, {"Parsed calibration OTP data file " + m.file("calibration.otp") + " ...\n\n" + kAngles,
                             "\n Unwarp AUX DONE\n Scale Error confined is = 0.198595\n",
                             "Depth verification results ...\n\n"})) << ver;
  for (const auto& [name, figures] : kFlatRows) EXPECT_TRUE(row_of(ver, name).ends_with(figures)) << name;
  EXPECT_TRUE(ver.ends_with(std::string(kFlatRows[4][1]) + "\n\n\n" + kEnd));
  EXPECT_EQ(ver.find("Debug Info"), std::string::npos);

  EXPECT_EQ(count_of(first[2], "FAIL\n"), 2);  // both residual rows, and still the angles
  EXPECT_TRUE(first[2].ends_with("Calibration output ...\n\n" + kAngles + kEnd)) << first[2];
  // An L-only run writes its interim record whatever its row says; the
  // flat-only run completes from it with the flat rows of the combined run.
  EXPECT_TRUE(in_order(first[3], {"\n Reading L ONLY", "L Chart Calibration result ...\n",
                                  "L-chart: Distance error [%]   1.82       0.01   FAIL\n"
                                  "Calibration TEMP output ...\n\nWriting calibration OTP data to " +
                                  m.file("calibration_interim.otp") + " ...\n\n" + kAngles + kEnd})) << first[3];
  EXPECT_EQ(first[3].find("Reference Metrics"), std::string::npos);
  EXPECT_TRUE(in_order(first[4], {"\n Reading Flat ONLY", "L-chart: Distance error [%]   1.82       5.00   PASS\n"}));
  for (const auto& [name, figures] : kFlatRows) EXPECT_EQ(row_of(first[4], name), row_of(cal, name)) << name;
  EXPECT_EQ(first[5], ver);  // from the flat-only record

  zorvel_otp_data record;
  capture_stdout([&] { ASSERT_EQ(read_otp_data(m.file("calibration.otp"), record), 1); });
  EXPECT_EQ(record.main_scaled_width * 10000 + record.main_scaled_height, 1280 * 10000 + 960);
  EXPECT_EQ(record.flat_chart_distance_cm, 80);
  EXPECT_EQ(record.max_hd_variation_tenths, 10);
  for (int i = 18; i < 32; ++i) EXPECT_EQ(record.geo[i], 0.0f);
}

}  // namespace
}  // namespace zorvel::test
