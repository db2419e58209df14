// The three calibration drivers on simulated captures of the `good` module:
// ground truth of rotation and focal length, the calibration table's rows,
// the L-only / flat-only hand-over, detection failures and debug files.
#include "calib/drivers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "simulated_captures.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

constexpr double kAngleTolerance = 0.25;  // degrees
constexpr double kFocalTolerance = 0.0015;

struct driver_pairs {
  zorvel_chart_pair l_pair, l_rect, flat_pair, flat_work, l_scratch, flat_scratch;
  std::array<zorvel_key_points, 2> stored;
};

int32_t run_l_and_flat(const test::simulated_calibration& sc, zorvel_calib_context& c,
                       std::string* printed = nullptr) {
  driver_pairs w;
  int32_t result = -1;
  const std::string text = test::capture_stdout([&] {
    result = calibrate_l_and_flat(sc.l_capture(), sc.flat_capture(), c, w.l_pair, w.l_rect,
                                  w.flat_pair, w.flat_work, w.l_scratch, w.flat_scratch);
  });
  if (printed) *printed = text;
  EXPECT_TRUE(w.l_pair.main_r.empty() && w.flat_work.aux_points.y.empty())
      << "the driver releases its pairs";
  return result;
}

// The unrotated `good` module, rendered once for the tests that share it.
const test::simulated_calibration& good_captures() {
  static const test::simulated_calibration sc = test::render_calibration(test::good_module());
  return sc;
}

// Every row of the calibration table with the scenario's thresholds.
void expect_table_passes(const zorvel_calib_context& c, const sim::thresholds& t) {
  EXPECT_LE(c.l_chart_residual_vd, t.residual_vd_pixels);
  EXPECT_LE(c.l_chart_distance_error_percent, t.l_origin_distance_percent);
  EXPECT_LE(c.l_chart_scale_difference_percent, t.scale_difference_percent);
  EXPECT_LE(c.flat_chart_residual_vd, t.residual_vd_pixels);
  EXPECT_LE(c.flat_chart_hd_stdev, t.flat_hd_stdev);
  EXPECT_LE(c.flat_chart_scale_difference_percent, t.scale_difference_percent);
  EXPECT_LE(c.vd_percentile_metric / 10.0f, t.vd_max);
  EXPECT_LE(c.hd_percentile_metric / 10.0f, t.hd_max);
}

void expect_ground_truth(const zorvel_calib_context& c, const sim::scenario& s) {
  const sim::angles_deg truth =
      sim::library_angles_from_rotation(sim::aux_rotation(s.module));
  EXPECT_NEAR(c.relative_pitch_degrees, truth.pitch, kAngleTolerance);
  EXPECT_NEAR(c.relative_yaw_degrees, truth.yaw, kAngleTolerance);
  EXPECT_NEAR(c.relative_roll_degrees, truth.roll, kAngleTolerance);
  const double focal = sim::main_view(s.module, s.l_chart_distance_mm()).focal_working;
  EXPECT_NEAR(c.main_focal_length / focal, 1.0, kFocalTolerance);
}

// Three modules keep the suite quick; ZORVEL_DRIVER_MODULES=20 runs the
// longer acceptance sweep.
int module_count() {
  const char* text = std::getenv("ZORVEL_DRIVER_MODULES");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 3;
}

TEST(CalibrationDrivers, LAndFlatRecoversRandomGoodModules) {
  std::mt19937 rng;  // the same modules every run
  const int modules = module_count();
  for (int i = 0; i < modules; ++i) {
    const sim::scenario s = test::good_module(&rng);
    SCOPED_TRACE(testing::Message() << "module " << i << ": pitch " << s.module.pitch_deg
                                    << " yaw " << s.module.yaw_deg << " roll "
                                    << s.module.roll_deg << " baseline " << s.module.baseline_mm);
    const test::simulated_calibration sc = test::render_calibration(s, 1 + i);
    zorvel_calib_context c = test::calibration_context(s);
    std::string printed;
    ASSERT_EQ(run_l_and_flat(sc, c, &printed), 0) << printed;
    expect_ground_truth(c, s);
    expect_table_passes(c, s.limits);
  }
}

TEST(CalibrationDrivers, LOnlyThenFlatOnlyGivesTheLAndFlatRotation) {
  const test::simulated_calibration& sc = good_captures();
  const sim::scenario& s = sc.scenario;

  zorvel_calib_context full = test::calibration_context(s);
  ASSERT_EQ(run_l_and_flat(sc, full), 0);

  zorvel_calib_context l_only = test::calibration_context(s);
  driver_pairs w;
  int32_t result = -1;
  test::capture_stdout([&] {
    result = calibrate_l_only(sc.l_capture(), l_only, w.l_pair, w.l_rect, w.l_scratch);
  });
  ASSERT_EQ(result, 0);
  EXPECT_GT(l_only.l_chart_point_count, 50);
  EXPECT_LE(l_only.l_chart_point_count, 200);
  expect_ground_truth(l_only, s);
  EXPECT_LE(l_only.l_chart_distance_error_percent, s.limits.l_origin_distance_percent);

  zorvel_calib_context flat_only = test::calibration_context(s);
  const zorvel_otp_interim_data interim = test::interim_from(l_only);
  test::capture_stdout([&] {
    result = calibrate_flat_only(sc.flat_capture(), flat_only, w.flat_pair, w.flat_work,
                                 w.flat_scratch, w.stored, interim);
  });
  ASSERT_EQ(result, 0);
  EXPECT_TRUE(w.stored[0].y.empty()) << "the stored-point sets are released";
  for (int j = 0; j < 9; ++j) {
    EXPECT_NEAR(flat_only.rot[j], full.rot[j], 1e-6) << j;  // float hand-over
  }
  EXPECT_NEAR(flat_only.relative_yaw_degrees, full.relative_yaw_degrees, 1e-4);
  EXPECT_EQ(flat_only.l_chart_distance_error_percent, l_only.l_chart_distance_error_percent);
  expect_table_passes(flat_only, s.limits);
}

TEST(CalibrationDrivers, DetectionFailuresEndTheDriver) {
  const test::simulated_calibration& good = good_captures();
  const sim::scenario& s = good.scenario;
  test::simulated_calibration sc = good;
  auto blank = [](sim::capture_image& img) {
    for (auto* plane : {&img.r, &img.g, &img.b}) plane->assign(plane->size(), 100);
  };
  std::string printed;
  zorvel_calib_context c = test::calibration_context(s);

  blank(sc.aux_l);
  blank(sc.main_l);  // both fail: only the aux message appears
  EXPECT_EQ(run_l_and_flat(sc, c, &printed), -1);
  EXPECT_NE(printed.find("Aux L chart image key point detection failed\n"), std::string::npos);
  EXPECT_EQ(printed.find("Main L chart"), std::string::npos);

  sc.aux_l = good.aux_l;
  EXPECT_EQ(run_l_and_flat(sc, c, &printed), -1);
  EXPECT_NE(printed.find("Main L chart image key point detection failed\n"), std::string::npos);

  sc = good;
  blank(sc.main_flat);
  c = test::calibration_context(s);
  EXPECT_EQ(run_l_and_flat(sc, c, &printed), -1);
  EXPECT_NE(printed.find("Main Flat chart image key point detection failed\n"
                         "Error in Flat chart image key point detection!\n"),
            std::string::npos)
      << printed;
}

TEST(CalibrationDrivers, DebugFilesOnlyInRunMode4) {
  const test::simulated_calibration& sc = good_captures();
  const sim::scenario& s = sc.scenario;
  test::scratch_dir dir(true);

  zorvel_calib_context c = test::calibration_context(s, 4);
  driver_pairs w;
  test::capture_stdout([&] {
    EXPECT_EQ(calibrate_l_only(sc.l_capture(), c, w.l_pair, w.l_rect, w.l_scratch), 0);
  });
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "the L-only driver writes nothing";

  ASSERT_EQ(run_l_and_flat(sc, c), 0);
  for (const char* name :
       {"orig-main-L.bmp", "orig-aux-L.bmp", "orig-main-Flat.bmp", "orig-aux-Flat.bmp",
        "ref_kp_y.txt", "aux_kp_Zw.txt", "ref_kp_Zw_m.txt", "aux_kp_Xw_m.txt",
        "rectified-aux-flat-proj-only.bmp", "orig-aux-flat.bmp", "ref_flat_kp_ym.txt",
        "aux_flat_kp_Xwm.txt", "aux_flat_kp_Y_L.txt", "ref_flat_kp_X_L.txt",
        "rectified-aux-flat-proj-geo.bmp", "rectified-aux-L_Flat_Geo.bmp", "aux_flat_kp_ymg.txt",
        "ref_flat_kp_xmg.txt", "ref_kp_yf_l_chart.txt", "aux_kp_xf_l_chart.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;
  }
  // Projected rows are listed with six decimals after the "1" and count lines.
  const std::string ymg = test::read_file(dir.file("aux_flat_kp_ymg.txt"));
  EXPECT_EQ(ymg.rfind("1 \n", 0), 0u);
  EXPECT_NE(ymg.find('.'), std::string::npos);
}

}  // namespace
}  // namespace zorvel
