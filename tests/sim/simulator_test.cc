// The few simulator properties the end-to-end and detection tests rely on
// without checking them: the rotation convention reads back through the
// library's angle formulas, smaller captures keep the working images, and
// renders depend on the noise key alone. Everything else the simulator
// produces is checked against its truth by those tests.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/bundle.h"
#include "sim/geometry.h"
#include "sim/presets.h"

namespace zorvel::sim {
namespace {

TEST(Simulator, AnglesReadBackThroughTheLibraryFormulas) {
  for (const auto& c : {vec3{0, 0, 0}, {1.5, -2.0, 0.7}, {-2.0, 0.3, -1.9}, {20, -35, 50}}) {
    const mat3 r = rotation_from_angles_deg(c[0], c[1], c[2]);
    const angles_deg a = angles_from_rotation(r);
    EXPECT_NEAR(a.pitch, c[0], 1e-12);  // degrees; a pure double round trip
    EXPECT_NEAR(a.yaw, c[1], 1e-12);
    EXPECT_NEAR(a.roll, c[2], 1e-12);
    const mat3 i = multiply(r, transpose(r));
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(i[k], k % 4 == 0 ? 1.0 : 0.0, 1e-15);
  }
  // The library prints with 180 / 3.14159: one degree of yaw reads 1.000001.
  EXPECT_EQ(std::round(library_angles_from_rotation(rotation_from_angles_deg(0, 1, 0)).yaw * 1e6),
            1000001.0);
}

TEST(Simulator, SmallerCapturesSeeTheSameWorkingImages) {
  scenario s;
  ASSERT_TRUE(make_scenario("portrait", &s));
  const scenario t = with_main_width(s, 1280);
  EXPECT_EQ(t.module.main.width * 10000 + t.module.main.height, 1280 * 10000 + 960);
  for (const bool aux : {false, true}) {
    const camera_view a = aux ? aux_view(s.module, 800) : main_view(s.module, 800);
    const camera_view b = aux ? aux_view(t.module, 800) : main_view(t.module, 800);
    EXPECT_EQ(a.working_width * 10000 + a.working_height, b.working_width * 10000 + b.working_height);
    EXPECT_NEAR(a.focal_working, b.focal_working, 1e-9);
  }
}

TEST(Simulator, RendersDependOnTheNoiseKeyOnly) {
  scenario s;
  ASSERT_TRUE(make_scenario("noisy", &s));
  s = with_main_width(s, 320);
  s.imaging.threads = 2;
  const chart c = make_charts(s).flat_chart;
  const camera_view v = make_views(s).main_flat;
  const capture_image a = render_capture(c, v, s.imaging, 0, 11, 3);
  s.imaging.threads = 1;  // the split over threads must not matter
  const capture_image b = render_capture(c, v, s.imaging, 0, 11, 3);
  EXPECT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b);
  EXPECT_NE(render_capture(c, v, s.imaging, 0, 12, 3).g, a.g);
  // A mono sensor writes three equal planes.
  s.module.main.mono = true;
  const capture_image mono = render_capture(c, make_views(s).main_flat, s.imaging, 0, 11, 3);
  EXPECT_TRUE(mono.r == mono.g && mono.g == mono.b);
}

TEST(Simulator, TurnsCapturesLikeTheLibrarysLoader) {
  // 3 x 2 image a b c / d e f: turned right d a / e b / f c, left c f / b e / a d.
  capture_image img{3, 2, {'a', 'b', 'c', 'd', 'e', 'f'}, {}, {}};
  img.g = img.b = img.r;
  EXPECT_EQ(turn_like_library(img, 1).r, (std::vector<uint8_t>{'d', 'a', 'e', 'b', 'f', 'c'}));
  EXPECT_EQ(turn_like_library(img, 2).r, (std::vector<uint8_t>{'c', 'f', 'b', 'e', 'a', 'd'}));
}

}  // namespace
}  // namespace zorvel::sim
