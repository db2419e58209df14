// The unwarp stage on small synthetic captures: the focal lengths it derives,
// the identity rectification, the paths and debug images of the run modes.
// Where the whole verification stops in each mode is for the end-to-end runs.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "verify/unwarp.h"

namespace zorvel::test {
namespace {

// 640 x 480 captures (working size 1280 x 960): red grows along rows, green
// along columns, so a flip or shift shows.
struct synthetic_capture {
  std::vector<uint8_t> r = std::vector<uint8_t>(640 * 480), g = r, b = std::vector<uint8_t>(640 * 480, 7);
  zorvel_capture_pair pair{r.data(), g.data(), b.data(), r.data(), g.data(), b.data(), 640, 480, 640, 480};
  synthetic_capture() {
    for (size_t i = 0; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i / 640), g[i] = static_cast<uint8_t>(i % 640 * 3);
  }
};

// A stored calibration that maps every aux pixel onto itself.
zorvel_verification_input identity_input(uint8_t mode) {
  zorvel_verification_input in;
  in.model.main_focal_px = in.model.aux_focal_px = 1000.0f;
  in.model.rot[0] = in.model.rot[4] = in.model.rot[8] = 1.0;
  in.l_chart_ratios = in.flat_chart_ratios = {1.0f, 1.0f};
  in.form.main_lens.fl_dewarping_reference = in.form.aux_lens.fl_dewarping_reference = 640.0f;
  in.run_mode = mode;
  return in;
}

bool exists(const scratch_dir& d, const char* name) { return std::ifstream(d.file(name)).good(); }

zorvel_unwarped_flat_chart unwarp(const zorvel_capture_pair& capture, const zorvel_verification_input& in,
                                  std::string& text) {
  zorvel_unwarped_flat_chart u;
  text = capture_stdout([&] { u = unwarp_for_verification(capture, in); });
  return u;
}

TEST(Unwarp, IdentityCalibrationCopiesTheAuxImage) {
  scratch_dir dir(true);
  std::string text;
  const zorvel_unwarped_flat_chart u = unwarp(synthetic_capture().pair, identity_input(0), text);
  EXPECT_TRUE(u.ok);
  EXPECT_EQ((std::array{u.main_focal_px, u.aux_focal_px}), (std::array{1000.0, 1000.0}));
  EXPECT_TRUE(text.ends_with("\n Unwarp AUX DONE"));  // the normal path warps the main lens back
  // The rectified pair carries the main size for the measures but no main pixels.
  EXPECT_TRUE(u.rectified.main_r.empty());
  EXPECT_EQ(u.rectified.main_width, 1280);
  ASSERT_EQ(u.rectified.aux_r.size(), 1280u * 960u);
  // Every pixel maps to itself up to the clamp at the last row and column.
  for (size_t i = 0; i < u.rectified.aux_r.size(); ++i) {
    if (i % 1280 == 1279 || i / 1280 == 959) continue;
    ASSERT_EQ(u.rectified.aux_r[i], u.dewarped.aux_r[i]) << i;
    ASSERT_EQ(u.rectified.aux_g[i], u.dewarped.aux_g[i]) << i;
  }
  EXPECT_FALSE(exists(dir, "orig-main-flat.bmp"));
}

// Mode 6 takes the alternative path and re-reads two debug images.
TEST(Unwarp, ModeSixClampsTheAdjustmentAndRewritesTwoDebugImages) {
  scratch_dir dir(true);
  zorvel_verification_input in = identity_input(6);
  in.form.main_lens.dewarp_coeff[0] = 0.001;  // a dewarped lens gets its adjustment looked up
  in.main_adjustment.adjust_ratio[4] = 1.05f;  // past the last breakpoint; outside [0.97, 1.03]
  in.flat_chart_ratios.main = 1.02f;
  in.rotation_flag = 2;
  std::string text;
  const zorvel_unwarped_flat_chart u = unwarp(synthetic_capture().pair, in, text);
  EXPECT_EQ(u.main_focal_px, static_cast<double>(1.02f * 1000.0f) / static_cast<double>(1.03f));
  EXPECT_EQ(u.aux_focal_px, 1000.0);
  EXPECT_EQ(text.find("Unwarp AUX"), std::string::npos);  // both cameras dewarped, no warp back
  EXPECT_NE(text.find("\n Direction is left Width = 1280 Height = 960"), std::string::npos);
  EXPECT_TRUE(exists(dir, "orig-aux-flat.bmp"));
  EXPECT_EQ(read_file(dir.file("rect-main-rot.bmp")), read_file(dir.file("orig-main-flat.bmp")));
  EXPECT_EQ(read_file(dir.file("rect-aux-rot.bmp")), read_file(dir.file("rectified-aux-flat.bmp")));
  EXPECT_EQ(read_file(dir.file("orig-main-flat.bmp")).size(), 54u + 1280u * 960u * 3u);
}

TEST(Unwarp, AuxImageTooSmallToRectifyIsReported) {
  scratch_dir dir(true);
  const synthetic_capture cap;
  const std::vector<uint8_t> thin(4000, 9);  // 4000 x 1 -> 1280 x 0 working pixels
  zorvel_capture_pair pair = cap.pair;
  pair.aux_r = pair.aux_g = pair.aux_b = thin.data();
  pair.aux_width = 4000, pair.aux_height = 1;
  std::string text;
  EXPECT_FALSE(unwarp(pair, identity_input(1), text).ok);
  EXPECT_TRUE(text.ends_with("\nError: aux image of 1280x0 pixels cannot be rectified\n"));
  EXPECT_FALSE(exists(dir, "rectified-aux-flat.bmp"));
}

}  // namespace
}  // namespace zorvel::test
