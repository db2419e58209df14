// The unwarp stage on small synthetic captures: what it prints, the focal
// lengths it derives, the identity rectification, and the debug images each
// run mode writes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "verify/unwarp.h"

namespace zorvel::test {
namespace {

// 640 x 480 captures (working size 1280 x 960) with a pattern that shows
// flips: the red plane grows along rows, the green along columns.
struct synthetic_capture {
  std::vector<uint8_t> r, g, b;
  zorvel_capture_pair pair;

  synthetic_capture(int32_t width = 640, int32_t height = 480)
      : r(static_cast<size_t>(width) * height), g(r.size()), b(r.size(), 7) {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        r[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(y);
        g[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(x * 3);
      }
    pair = {r.data(), g.data(), b.data(), r.data(), g.data(), b.data(), width, height, width, height};
  }
};

// A stored calibration that maps every aux pixel onto itself.
zorvel_calib_context identity_calibration() {
  zorvel_calib_context c{};
  c.main_focal_length = c.aux_focal_length = 1000.0f;
  c.main_focal_length_ratio = c.aux_focal_length_ratio = 1.0f;
  c.rot[0] = c.rot[4] = c.rot[8] = 1.0;
  c.fl_dewarping_reference_main = c.fl_dewarping_reference_aux = 640.0f;
  return c;
}

zorvel_calib_context verification(uint8_t mode) {
  zorvel_calib_context v{};
  v.main_focal_length_ratio = v.aux_focal_length_ratio = 1.0f;
  v.run_mode = mode;
  return v;
}

bool exists(const scratch_dir& d, const char* name) { return std::ifstream(d.file(name)).good(); }

TEST(Unwarp, IdentityCalibrationCopiesTheAuxImageAndPrintsEachStep) {
  scratch_dir dir(true);
  synthetic_capture cap;
  zorvel_chart_pair p1, p2, p3;
  zorvel_unwarp_result result;
  const std::string text = capture_stdout([&] {
    result = unwarp_for_verification(cap.pair, identity_calibration(), verification(0), p1, p2, p3);
  });
  EXPECT_EQ(text,
            "FL Ref = 1000.000000  FL Aux = 1000.000000"
            "\n Unwarp AUX Init Sum coeff -0.000000"
            "\n FLRatioRef = 1.000000  FLRatioAux = 1.000000"
            "\n Adjust Factor Main = 1.000000"
            "\n Adjust Factor Aux = 1.000000"
            "\n Unwarp AUX DONE");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.fr, 1000.0);
  EXPECT_EQ(result.fa, 1000.0);
  EXPECT_STREQ(result.direction, "none");
  ASSERT_EQ(p2.aux_width, 1280);
  ASSERT_EQ(p2.aux_height, 960);
  // Every pixel maps to itself up to the clamp at the last row and column.
  for (int32_t y = 0; y < 959; ++y)
    for (int32_t x = 0; x < 1279; ++x) {
      const size_t i = static_cast<size_t>(y) * 1280 + x;
      ASSERT_EQ(p2.aux_r[i], p1.aux_r[i]) << y << "," << x;
      ASSERT_EQ(p2.aux_g[i], p1.aux_g[i]) << y << "," << x;
    }
  EXPECT_FALSE(exists(dir, "orig-main-flat.bmp"));
}

TEST(Unwarp, FocalLengthsFollowTheRatiosAndClampedAdjustment) {
  scratch_dir dir(true);
  synthetic_capture cap;
  zorvel_calib_context c = identity_calibration();
  c.dewarp_coeff_main[0] = 0.001;  // indicator > 0: the main adjustment is looked up
  for (int i = 0; i < 5; ++i) {
    c.main_kp_fl_ratio[i] = 1.0f + 0.01f * static_cast<float>(i);
    c.main_adjust_ratio[i] = 1.05f;  // outside [0.97, 1.03]
  }
  zorvel_calib_context v = verification(4);
  v.main_focal_length_ratio = 1.02f;
  zorvel_chart_pair p1, p2, p3;
  zorvel_unwarp_result result;
  const std::string text =
      capture_stdout([&] { result = unwarp_for_verification(cap.pair, c, v, p1, p2, p3); });
  const float fl_ref = 1.02f / 1.0f * 1000.0f;
  EXPECT_EQ(result.fr, static_cast<double>(fl_ref) / static_cast<double>(1.03f));
  EXPECT_EQ(result.fa, 1000.0);
  EXPECT_NE(text.find("\n Adjust Factor Main = 1.030000"), std::string::npos);
  // The alternative path dewarps both cameras and never warps the main lens back.
  EXPECT_EQ(text.find("Unwarp AUX"), std::string::npos);
  EXPECT_TRUE(exists(dir, "orig-main-flat.bmp"));
  EXPECT_TRUE(exists(dir, "orig-aux-flat.bmp"));
  EXPECT_TRUE(exists(dir, "rectified-aux-flat.bmp"));
  EXPECT_FALSE(exists(dir, "rect-main-rot.bmp"));
}

TEST(Unwarp, ModeSixRewritesTwoDebugImagesAtTheirOwnSize) {
  scratch_dir dir(true);
  synthetic_capture cap;
  zorvel_calib_context c = identity_calibration();
  c.main_aux_rotation_flag = 2;
  zorvel_chart_pair p1, p2, p3;
  const std::string text = capture_stdout(
      [&] { unwarp_for_verification(cap.pair, c, verification(6), p1, p2, p3); });
  EXPECT_NE(text.find("\n Direction is left Width = 1280 Height = 960"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("rect-main-rot.bmp")), read_file(dir.file("orig-main-flat.bmp")));
  EXPECT_EQ(read_file(dir.file("rect-aux-rot.bmp")), read_file(dir.file("rectified-aux-flat.bmp")));
  EXPECT_EQ(read_file(dir.file("orig-main-flat.bmp")).size(), 54u + 1280u * 960u * 3u);
}

TEST(Unwarp, AuxImageTooSmallToRectifyIsReported) {
  scratch_dir dir(true);
  synthetic_capture main_cap;
  const std::vector<uint8_t> thin(4000, 9);  // 4000 x 1 -> 1280 x 0 working pixels
  zorvel_capture_pair pair = main_cap.pair;
  pair.aux_r = pair.aux_g = pair.aux_b = thin.data();
  pair.aux_width = 4000;
  pair.aux_height = 1;
  zorvel_chart_pair p1, p2, p3;
  zorvel_unwarp_result result;
  const std::string text = capture_stdout([&] {
    result = unwarp_for_verification(pair, identity_calibration(), verification(1), p1, p2, p3);
  });
  EXPECT_EQ(result.status, -1);
  EXPECT_NE(text.find("\nError: aux image of 1280x0 pixels cannot be rectified\n"), std::string::npos);
  EXPECT_FALSE(exists(dir, "rectified-aux-flat.bmp"));
}

}  // namespace
}  // namespace zorvel::test
