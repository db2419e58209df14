// Rendered captures: size and orientation in the file, the marker's colour at
// its projected place, mono planes, and noise that depends on the key only.
#include "sim/render.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/bundle.h"
#include "sim/presets.h"

namespace zorvel::sim {
namespace {

constexpr int32_t kSmallWidth = 320;  // the working images stay 1280 wide

scenario small(const char* name) {
  scenario s;
  EXPECT_TRUE(make_scenario(name, &s));
  s.imaging.threads = 2;
  return with_main_width(s, kSmallWidth);
}

// Pixel of the oriented (library-view) capture at the projection of the
// pattern point (u, v) mm of the flat chart.
struct rgb {
  int r, g, b;
};
rgb sample(const capture_image& scene, const camera_view& v, const chart& c, double u, double w) {
  double row, col;
  EXPECT_TRUE(project_working(v, board_point(c.boards[0], u, w), &row, &col));
  const auto y = static_cast<size_t>(std::lround(row * v.scale));
  const auto x = static_cast<size_t>(std::lround(col * v.scale));
  const size_t i = y * static_cast<size_t>(scene.width) + x;
  return {scene.r[i], scene.g[i], scene.b[i]};
}

void expect_marker_in_place(const scenario& s) {
  const scene_charts charts = make_charts(s);
  const scene_views views = make_views(s);
  const capture_image file = render_capture(charts.flat_chart, views.main_flat, s.imaging,
                                            s.module.rotation_flag, 7, 1);
  const capture_image scene = turn_like_library(file, s.module.rotation_flag);
  ASSERT_EQ(scene.width, views.main_flat.scene_width);
  ASSERT_EQ(scene.height, views.main_flat.scene_height);
  const double h = 0.5 * s.flat_chart.square_mm;
  // Squares (-1, -1) and (0, 0) are green, (-1, 0) and (0, -1) black: a flip
  // or a wrong quarter turn swaps them.
  for (const auto& [u, w] : {std::pair{-h, -h}, std::pair{h, h}}) {
    const rgb p = sample(scene, views.main_flat, charts.flat_chart, u, w);
    EXPECT_GT(p.g, 150);
    EXPECT_LT(p.r, 40);
    EXPECT_LT(p.b, 60);
  }
  for (const auto& [u, w] : {std::pair{h, -h}, std::pair{-h, h}}) {
    const rgb p = sample(scene, views.main_flat, charts.flat_chart, u, w);
    EXPECT_LT(p.g, 40);
  }
  // An ordinary light square.
  const rgb white = sample(scene, views.main_flat, charts.flat_chart, 3 * h, -h);
  EXPECT_GT(white.r, 180);
  EXPECT_GT(white.b, 180);
}

TEST(Render, LandscapeCaptureHasTheFileSizeAndTheMarkerInPlace) {
  const scenario s = small("good");
  expect_marker_in_place(s);
  const capture_image aux = render_capture(make_charts(s).flat_chart, make_views(s).aux_flat,
                                           s.imaging, 0, 7, 2);
  EXPECT_EQ(aux.width, s.module.aux.width);
  EXPECT_EQ(aux.height, s.module.aux.height);
}

TEST(Render, PortraitCaptureIsStoredTurnedBack) {
  scenario s = small("portrait");
  const capture_image file = render_capture(make_charts(s).flat_chart, make_views(s).main_flat,
                                            s.imaging, s.module.rotation_flag, 7, 1);
  // The file keeps the sensor's landscape size; the library turns it right.
  EXPECT_EQ(file.width, s.module.main.width);
  EXPECT_EQ(file.height, s.module.main.height);
  expect_marker_in_place(s);
  s.module.rotation_flag = 2;  // turned left by the library
  expect_marker_in_place(s);
}

TEST(Render, LibraryTurnMovesPixelsLikeTheLoader) {
  // 3 x 2 image a b c / d e f turned right is d a / e b / f c.
  capture_image img;
  img.width = 3;
  img.height = 2;
  img.r = {'a', 'b', 'c', 'd', 'e', 'f'};
  img.g = img.b = img.r;
  EXPECT_EQ(turn_like_library(img, 1).r, (std::vector<uint8_t>{'d', 'a', 'e', 'b', 'f', 'c'}));
  EXPECT_EQ(turn_like_library(img, 2).r, (std::vector<uint8_t>{'c', 'f', 'b', 'e', 'a', 'd'}));
}

TEST(Render, MonoSensorWritesEqualPlanes) {
  const scenario s = small("mono");
  const capture_image img = render_capture(make_charts(s).l_chart, make_views(s).main_l,
                                           s.imaging, 0, 3, 1);
  EXPECT_EQ(img.r, img.g);
  EXPECT_EQ(img.g, img.b);
}

TEST(Render, NoiseDependsOnTheKeyOnly) {
  scenario s = small("noisy");
  const scene_charts c = make_charts(s);
  const camera_view v = make_views(s).main_flat;
  const capture_image a = render_capture(c.flat_chart, v, s.imaging, 0, 11, 3);
  s.imaging.threads = 1;  // the split over threads must not matter
  const capture_image b = render_capture(c.flat_chart, v, s.imaging, 0, 11, 3);
  const capture_image other = render_capture(c.flat_chart, v, s.imaging, 0, 12, 3);
  EXPECT_EQ(a.r, b.r);
  EXPECT_EQ(a.g, b.g);
  EXPECT_EQ(a.b, b.b);
  EXPECT_NE(a.g, other.g);
}

TEST(Render, KeyedNormalHasUnitSpread) {
  double sum = 0, sum2 = 0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const double z = keyed_normal(5, 1, static_cast<uint64_t>(i));
    sum += z;
    sum2 += z * z;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_NEAR(sum2 / n, 1.0, 0.02);
}

}  // namespace
}  // namespace zorvel::sim
