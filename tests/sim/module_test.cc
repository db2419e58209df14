// Camera model: pitch of a fronto-parallel board, the library's working focal
// length, the baseline's sign and the thin-lens ratio.
#include "sim/module.h"

#include <gtest/gtest.h>

#include "sim/chart.h"
#include "sim/presets.h"
#include "sim/truth.h"

namespace zorvel::sim {
namespace {

TEST(Module, FrontoParallelBoardHasPitchFocalTimesSquareOverDistance) {
  scenario s;
  ASSERT_TRUE(make_scenario("good", &s));
  s.module.pitch_deg = s.module.yaw_deg = s.module.roll_deg = 0.0;
  for (const double d : {450.0, 800.0, 1300.0}) {
    flat_chart_design design = s.flat_chart;
    design.tilt_yaw_deg = design.tilt_pitch_deg = design.tilt_roll_deg = 0.0;
    design.origin = {25.0, -40.0, d};
    const chart c = make_flat_chart(design);
    const camera_view m = main_view(s.module, d);
    const camera_view a = aux_view(s.module, d);
    const auto truth = chart_truth(c, m, a);
    const double expected_main = m.focal_working * design.square_mm / d;
    const double expected_aux = a.focal_working * design.square_mm / d;
    for (size_t k = 1; k < truth.size(); ++k) {
      if (truth[k].yw != truth[k - 1].yw) continue;  // neighbours along one row
      EXPECT_NEAR(truth[k].main_col - truth[k - 1].main_col, expected_main, 1e-9);
      EXPECT_NEAR(truth[k].aux_col - truth[k - 1].aux_col, expected_aux, 1e-9);
      EXPECT_NEAR(truth[k].main_row, truth[k - 1].main_row, 1e-9);
    }
  }
}

TEST(Module, WorkingFocalLengthMatchesTheLibrarysDerivation) {
  // The library takes f x ratio / (capture width / 1280 x pitch); with the
  // module turned it divides by the capture height instead.
  for (const char* name : {"good", "portrait"}) {
    scenario s;
    ASSERT_TRUE(make_scenario(name, &s));
    const double d = s.l_chart_distance_mm();
    for (const camera_spec* cam : {&s.module.main, &s.module.aux}) {
      const camera_view v = make_view(*cam, s.module.rotation_flag, d, identity3(), {0, 0, 0});
      const double side = cam->width;  // the file width in both orientations
      const double expected = cam->focal_length_mm * focus_ratio(d, cam->focal_length_mm) /
                              (side / 1280.0 * cam->pixel_pitch_mm);
      EXPECT_NEAR(v.focal_working, expected, 1e-9) << name;
    }
  }
}

TEST(Module, ThinLensRatio) {
  EXPECT_NEAR(focus_ratio(600.0, 4.0), 600.0 / 596.0, 1e-15);
  EXPECT_NEAR(focus_ratio(300.0, 4.0), 1.0135135135135136, 1e-15);
}

TEST(Module, PositionFlagGivesTheSignOfTheDisparity) {
  scenario s;
  ASSERT_TRUE(make_scenario("good", &s));
  s.module.pitch_deg = s.module.yaw_deg = s.module.roll_deg = 0.0;
  const vec3 p{30.0, -50.0, 700.0};
  for (const int32_t flag : {0, 1}) {
    s.module.position_flag = flag;
    double mr, mc, ar, ac;
    ASSERT_TRUE(project_working(main_view(s.module, 700), p, &mr, &mc));
    ASSERT_TRUE(project_working(aux_view(s.module, 700), p, &ar, &ac));
    // Disparity f b / Z in aux working pixels (same focal length scale for both).
    const double aux_focal = aux_view(s.module, 700).focal_working;
    const double main_focal = main_view(s.module, 700).focal_working;
    const double disparity = mc - ((ac - 640) * main_focal / aux_focal + 640);
    EXPECT_NEAR(disparity, (flag == 0 ? 1 : -1) * main_focal * s.module.baseline_mm / p[2], 1e-9);
  }
}

TEST(Module, SmallerSensorsSeeTheSameWorkingImage) {
  scenario s;
  ASSERT_TRUE(make_scenario("good", &s));
  const scenario t = with_main_width(s, 1280);
  EXPECT_EQ(t.module.main.width, 1280);
  EXPECT_EQ(t.module.main.height, 960);
  for (const bool aux : {false, true}) {
    const camera_view a = aux ? aux_view(s.module, 800) : main_view(s.module, 800);
    const camera_view b = aux ? aux_view(t.module, 800) : main_view(t.module, 800);
    EXPECT_EQ(a.working_width, b.working_width);
    EXPECT_EQ(a.working_height, b.working_height);
    EXPECT_NEAR(a.focal_working, b.focal_working, 1e-9);
  }
}

}  // namespace
}  // namespace zorvel::sim
