// Resampling to the working size and the radial dewarp, against the
// per-pixel formulas written out here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "detect/preprocess.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

std::vector<uint8_t> patterned_plane(int32_t width, int32_t height, uint32_t salt) {
  std::vector<uint8_t> plane(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<uint8_t>((i * 2654435761u + salt) >> 11);
  return plane;
}

struct capture_planes {
  std::vector<uint8_t> planes[6];
  zorvel_capture_pair pair;
};

capture_planes make_capture(int32_t main_w, int32_t main_h, int32_t aux_w, int32_t aux_h) {
  capture_planes c;
  for (int p = 0; p < 6; ++p) {
    c.planes[p] = p < 3 ? patterned_plane(main_w, main_h, p) : patterned_plane(aux_w, aux_h, p);
  }
  c.pair = {c.planes[0].data(), c.planes[1].data(), c.planes[2].data(), c.planes[3].data(),
            c.planes[4].data(), c.planes[5].data(), main_w, main_h, aux_w, aux_h};
  return c;
}

TEST(Resample, WorkingSizesAndNearestSource) {
  const capture_planes c = make_capture(4000, 3000, 1500, 2000);
  zorvel_chart_pair pair;
  normalize_capture_pair(c.pair, false, pair);
  EXPECT_EQ(pair.normalized_side, 1280);
  EXPECT_EQ(pair.main_width, 1280);
  EXPECT_EQ(pair.main_height, 960);
  EXPECT_EQ(pair.aux_width, 1280);
  EXPECT_EQ(pair.aux_height, 1706);  // trunc(2000 * 1280 / 1500)
  EXPECT_EQ(pair.main_points.capacity(), 1200u);
  EXPECT_EQ(pair.aux_points.Zw.size(), 1200u);
  // Pixel (i, j) copies source (trunc(i s + 0.5), trunc(j s + 0.5)), s = 3.125.
  const double s = 4000.0 / 1280;
  for (const auto& [i, j] : {std::pair{0, 0}, {1, 1}, {959, 1279}, {500, 3}}) {
    const auto sr = static_cast<int32_t>(i * s + 0.5), sc = static_cast<int32_t>(j * s + 0.5);
    EXPECT_EQ(pair.main_g[i * 1280 + j], c.planes[1][sr * 4000 + sc]);
    EXPECT_EQ(pair.main_b[i * 1280 + j], c.planes[2][sr * 4000 + sc]);
  }
  zorvel_chart_pair rotated;
  normalize_capture_pair(c.pair, true, rotated);
  EXPECT_EQ(rotated.main_width, 1706);
  EXPECT_EQ(rotated.main_height, 1280);
  EXPECT_EQ(rotated.aux_width, 960);
  EXPECT_EQ(rotated.aux_height, 1280);
  EXPECT_EQ(rotated.main_r[1279 * 1706 + 1705],
            c.planes[0][static_cast<int>(1279 * (3000.0 / 1280) + 0.5) * 4000 +
                        static_cast<int>(1705 * (3000.0 / 1280) + 0.5)]);
}

TEST(Resample, SmallCaptureClampsTheLastIndex) {
  // 600 px: the last working column rounds to source 600, clamped to 599.
  const capture_planes c = make_capture(600, 400, 600, 400);
  zorvel_chart_pair pair;
  normalize_capture_pair(c.pair, false, pair);
  ASSERT_EQ(pair.main_height, 853);
  EXPECT_EQ(pair.main_r[852 * 1280 + 1279], c.planes[0][399 * 600 + 599]);
}

TEST(DewarpIndicator, ScansTheCoefficientsInOrder) {
  const double cases[][6] = {
      {0.2, 0, 0, 0, 0, 0.2},      {0, 0.01, 0, 0, 0, 0.01},    {-1, -0.5, 0, 0, 0, -0.5},
      {0, 0, 0.3, 0, 0, 0.3},      {0, 0, 0, 0.4, 0, 0.4},      {0, 0, 0, 0, 0.7, 0.7},
      {0, -1, -2, -3, -4, 4},      {0, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(dewarp_indicator(c), c[5]) << c[0] << c[1] << c[2];
}

struct dewarp_case {
  int32_t width, height;
  std::vector<uint8_t> r, g, b;
};

dewarp_case random_planes(int32_t width, int32_t height) {
  dewarp_case d{width, height, {}, {}, {}};
  std::mt19937 rng(3);
  for (auto* p : {&d.r, &d.g, &d.b}) {
    p->resize(static_cast<size_t>(width) * height);
    for (auto& v : *p) v = static_cast<uint8_t>(rng());
  }
  return d;
}

// The kernel formula for one output byte, written out per pixel.
uint8_t expected_dewarp(const std::vector<uint8_t>& p, int32_t W, int32_t H, float F, double c0,
                        double c1, double c2, double c3, int32_t y, int32_t x) {
  const float yh = static_cast<float>(y - H / 2) / F;
  const float xh = static_cast<float>(x - W / 2) / F;
  const double r2 = static_cast<double>(xh) * xh + static_cast<double>(yh) * yh;
  const double k = c0 + c1 * r2 + c2 * (r2 * r2) + c3 * (r2 * r2 * r2);
  double sy = (yh + k * yh) * F + H / 2;
  double sx = (xh + k * xh) * F + W / 2;
  sy = std::isnan(sy) ? 0.0 : std::clamp(sy, 0.0, static_cast<double>(H - 2));
  sx = std::isnan(sx) ? 0.0 : std::clamp(sx, 0.0, static_cast<double>(W - 2));
  const int r0 = static_cast<int>(std::floor(sy)), q0 = static_cast<int>(std::floor(sx));
  const float u = static_cast<float>(r0 + 1) - static_cast<float>(sy);
  const float w = static_cast<float>(q0 + 1) - static_cast<float>(sx);
  auto P = [&](int r, int c) { return static_cast<float>(p[r * W + c]); };
  const float v = P(r0, q0) * u * w + P(r0, q0 + 1) * u * (1 - w) + P(r0 + 1, q0) * (1 - u) * w +
                  P(r0 + 1, q0 + 1) * (1 - u) * (1 - w);
  return static_cast<uint8_t>(static_cast<int>(v));
}

TEST(DewarpPlanes, MatchesTheFormulaWithCropAndClamp) {
  dewarp_case d = random_planes(97, 64);
  std::vector<uint8_t> r(d.r.size()), g(d.r.size()), b(d.r.size());
  // Strong coefficients push sources past the border: clamped positions.
  const double c0 = 0.02, c1 = 0.3, c2 = -0.05, c3 = 0.01;
  const float F = 40.0f;
  dewarp_planes(d.r.data(), d.g.data(), d.b.data(), r.data(), g.data(), b.data(), d.width,
                d.height, F, 5, c0, c1, c2, c3);
  // crop 5 %: rows floor(3.2) = 3 -> 4 -> 2; columns floor(4.85) = 4 -> 2.
  for (int32_t y = 0; y < d.height; ++y) {
    for (int32_t x = 0; x < d.width; ++x) {
      const size_t at = static_cast<size_t>(y) * d.width + x;
      const bool cropped = y < 2 || y > d.height - 3 || x < 2 || x > d.width - 3;
      ASSERT_EQ(g[at], cropped ? 0 : expected_dewarp(d.g, d.width, d.height, F, c0, c1, c2, c3, y, x))
          << y << "," << x;
      ASSERT_EQ(r[at], cropped ? 0 : expected_dewarp(d.r, d.width, d.height, F, c0, c1, c2, c3, y, x));
    }
  }
}

TEST(DewarpPlanes, CropOfFivePercentOn960Rows) {
  dewarp_case d = random_planes(64, 960);
  std::vector<uint8_t> r(d.r.size(), 7), g(d.r.size(), 7), b(d.r.size(), 7);
  dewarp_planes(d.r.data(), d.g.data(), d.b.data(), r.data(), g.data(), b.data(), 64, 960,
                300.0f, 5, 0.0, 0.01, 0.0, 0.0);
  for (int32_t y : {0, 23, 936, 959}) EXPECT_EQ(g[y * 64 + 32], 0) << y;
  EXPECT_NE(std::count(g.begin() + 24 * 64, g.begin() + 936 * 64, 0), 912 * 64);
}

TEST(DewarpPlanes, NonFiniteSourcePositionsReadTheCorner) {
  dewarp_case d = random_planes(16, 12);
  std::vector<uint8_t> r(d.r.size()), g(d.r.size()), b(d.r.size());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  dewarp_planes(d.r.data(), d.g.data(), d.b.data(), r.data(), g.data(), b.data(), 16, 12, 8.0f,
                0, nan, 0, 0, 0);
  // NaN clamps to 0: every output is the top-left source pixel (weights 1).
  for (uint8_t v : g) EXPECT_EQ(v, d.g[0]);
}

zorvel_chart_pair pair_of(const dewarp_case& main, const dewarp_case& aux) {
  zorvel_chart_pair pair;
  pair.main_r = main.r, pair.main_g = main.g, pair.main_b = main.b;
  pair.aux_r = aux.r, pair.aux_g = aux.g, pair.aux_b = aux.b;
  pair.normalized_side = 1280;
  pair.main_width = main.width, pair.main_height = main.height;
  pair.aux_width = aux.width, pair.aux_height = aux.height;
  return pair;
}

TEST(DewarpPair, IndicatorDecidesWhichCameraChanges) {
  const dewarp_case main = random_planes(1280, 24), aux = random_planes(1280, 30);
  zorvel_working_form form;
  form.main_lens.fl_dewarping_reference = 500.0f;
  form.aux_lens.fl_dewarping_reference = 500.0f;
  {  // all zero: byte-identical
    zorvel_chart_pair pair = pair_of(main, aux), scratch;
    dewarp_pair(form, pair, scratch);
    EXPECT_EQ(pair.main_g, main.g);
    EXPECT_EQ(pair.aux_g, aux.g);
    EXPECT_EQ(scratch.aux_g.size(), aux.g.size());
  }
  form.main_lens.dewarp_coeff[0] = 2.0;  // D = 2.0: not dewarped
  form.aux_lens.dewarp_coeff[1] = 0.01;  // D = 0.01: dewarped
  zorvel_chart_pair pair = pair_of(main, aux), scratch;
  dewarp_pair(form, pair, scratch);
  EXPECT_EQ(pair.main_g, main.g);
  std::vector<uint8_t> r(aux.r.size()), g(aux.r.size()), b(aux.r.size());
  dewarp_planes(aux.r.data(), aux.g.data(), aux.b.data(), r.data(), g.data(), b.data(), 1280, 30,
                500.0f, 0, 0.0, 0.01, 0.0, 0.0);
  EXPECT_EQ(pair.aux_g, g);
  EXPECT_NE(pair.aux_g, aux.g);
  // F = 0 never reaches the kernel: the planes stay as they are.
  form.aux_lens.fl_dewarping_reference = 0.0f;
  zorvel_chart_pair untouched = pair_of(main, aux);
  dewarp_pair(form, untouched, scratch);
  EXPECT_EQ(untouched.aux_g, aux.g);
}

TEST(DewarpPair, AuxOnlyPrintsItsIndicator) {
  const dewarp_case main = random_planes(1280, 20), aux = random_planes(1280, 22);
  zorvel_working_form form;
  form.aux_lens = {{0.0, 0.25}, {}, 400.0f};
  form.main_lens = form.aux_lens;
  zorvel_chart_pair pair = pair_of(main, aux), scratch;
  const std::string printed =
      test::capture_stdout([&] { dewarp_aux_only(form, pair, scratch); });
  EXPECT_EQ(printed, " Sum coeff 0.250000");
  EXPECT_EQ(pair.main_g, main.g);
  EXPECT_NE(pair.aux_g, aux.g);
  EXPECT_EQ(scratch.main_g, std::vector<uint8_t>(main.g.size(), 0));
}

}  // namespace
}  // namespace zorvel
