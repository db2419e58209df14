// Resampling to the working size and the radial dewarp. The dewarp cases run
// on a 16 x 16 ramp whose every byte names its own pixel, with F = 8 so the
// normalised radii are exact: each output byte shows where it was sampled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <array>
#include <limits>
#include <string>

#include "detect/preprocess.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

// Hashed bytes; each salt takes other bits of the hash, so planes differ.
std::vector<uint8_t> patterned_plane(int32_t width, int32_t height, uint32_t salt) {
  std::vector<uint8_t> plane(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < plane.size(); ++i) plane[i] = static_cast<uint8_t>((i * 2654435761u) >> (11 + salt));
  return plane;
}

TEST(Resample, WorkingSizesAndNearestSource) {
  // Main planes 4000 x 3000 (salts 0, 1, 2), aux planes 1500 x 2000.
  std::vector<uint8_t> m[3], a = patterned_plane(1500, 2000, 3);
  for (uint32_t p = 0; p < 3; ++p) m[p] = patterned_plane(4000, 3000, p);
  zorvel_capture_pair capture{m[0].data(), m[1].data(), m[2].data(), a.data(), a.data(), a.data(),
                              4000, 3000, 1500, 2000};
  zorvel_chart_pair pair, rotated;
  normalize_capture_pair(capture, false, pair);
  normalize_capture_pair(capture, true, rotated);
  EXPECT_EQ((std::array{pair.main_width, pair.main_height, pair.aux_width, pair.aux_height}),
            (std::array{1280, 960, 1280, 1706}));  // 1706 = trunc(2000 * 1280 / 1500)
  EXPECT_EQ((std::array{rotated.main_width, rotated.main_height, rotated.aux_width, rotated.aux_height}),
            (std::array{1706, 1280, 960, 1280}));
  EXPECT_EQ(pair.aux_points.Zw.size(), 1200u);
  // Pixel (i, j) copies the nearest source, (i s + 0.5, j s + 0.5) truncated: s = 3.125.
  for (const auto& [i, j, si, sj] : {std::array{0, 0, 0, 0}, {1, 1, 3, 3}, {959, 1279, 2997, 3997}, {500, 3, 1563, 9}}) {
    EXPECT_EQ(pair.main_g[i * 1280 + j], m[1][si * 4000 + sj]) << i << "," << j;
    EXPECT_EQ(pair.main_b[i * 1280 + j], m[2][si * 4000 + sj]) << i << "," << j;
  }
  // Turned: s = 3000 / 1280; the last pixel reads (2998, 3996).
  EXPECT_EQ(rotated.main_r[1279 * 1706 + 1705], m[0][2998 * 4000 + 3996]);
  // 600 px: the last working column rounds to source 600, clamped to 599.
  capture.main_width = 600, capture.main_height = 400;
  normalize_capture_pair(capture, false, pair);
  ASSERT_EQ(pair.main_height, 853);
  EXPECT_EQ(pair.main_r[852 * 1280 + 1279], m[0][399 * 600 + 599]);
}

TEST(DewarpIndicator, FirstCoefficientAboveItsPredecessor) {
  const double cases[][6] = {{0.2, 0, 0, 0, 0, 0.2}, {-1, -0.5, 0, 0, 0, -0.5}, {0, 0, 0, 0.4, 0, 0.4},
                             {0, 0, 0, 0, 0.7, 0.7}, {0, -1, -2, -3, -4, 4}, {0, 0, 0, 0, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(dewarp_indicator(c), c[5]) << c[0] << c[1] << c[2] << c[3];
}

constexpr int32_t kSide = 16, kZero = -1;  // kZero: the output stays 0 (cropped)

TEST(DewarpPlanes, SamplesWhereThePolynomialSends) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct dewarp_case {
    const char* name;
    uint8_t crop;
    std::array<double, 4> c;
    std::vector<std::array<int32_t, 4>> probes;  // output (row, col) reads source (row, col)
  };
  const dewarp_case cases[] = {
      // Positions are clamped to the last-but-one row and column (the bilinear neighbour).
      {"identity", 0, {0, 0, 0, 0}, {{0, 0, 0, 0}, {5, 9, 5, 9}, {15, 15, 14, 14}}},
      // Crop 20 %: 3.2 -> 3 pixels, rounded up to 4, two on each side.
      {"crop", 20, {0, 0, 0, 0}, {{1, 8, kZero, 0}, {2, 8, 2, 8}, {13, 8, 13, 8}, {14, 8, kZero, 0}, {8, 14, kZero, 0}}},
      {"c0 doubles the radius", 0, {1, 0, 0, 0}, {{8, 8, 8, 8}, {9, 11, 10, 14}, {5, 6, 2, 4}, {2, 8, 0, 8}}},
      // Centre row, 4 px out: r^2 = 1/4, so c1 = 1, c2 = 4 and c3 = 16 all give k = 1/4.
      {"c1", 0, {0, 1, 0, 0}, {{8, 12, 8, 13}, {8, 4, 8, 3}, {4, 8, 3, 8}, {8, 0, 8, 0}}},
      {"c2", 0, {0, 0, 4, 0}, {{8, 12, 8, 13}, {4, 8, 3, 8}}},
      {"c3", 0, {0, 0, 0, 16}, {{8, 12, 8, 13}, {4, 8, 3, 8}}},
      {"NaN reads the corner", 0, {nan, 0, 0, 0}, {{0, 0, 0, 0}, {9, 3, 0, 0}, {15, 15, 0, 0}}},
  };
  std::vector<uint8_t> src(kSide * kSide);  // 255 - (16 r + c): the corner reads 255, not a cropped 0
  for (int32_t i = 0; i < kSide * kSide; ++i) src[i] = static_cast<uint8_t>(255 - i);
  for (const dewarp_case& d : cases) {
    std::vector<uint8_t> r(src.size(), 9), g(src.size(), 9), b(src.size(), 9);
    dewarp_planes(src.data(), src.data(), src.data(), r.data(), g.data(), b.data(), kSide, kSide,
                  8.0f, d.crop, d.c[0], d.c[1], d.c[2], d.c[3]);
    for (const auto& [y, x, sy, sx] : d.probes) {
      const int want = sy == kZero ? 0 : src[sy * kSide + sx];
      EXPECT_EQ(g[y * kSide + x], want) << d.name << " at " << y << "," << x;
      EXPECT_EQ(r[y * kSide + x], b[y * kSide + x]) << d.name;
    }
  }
}

// The kernel pixel by pixel as defined, with fractional weights, crop
// margins and clamped borders: every byte, the border zeroed over whatever
// the output held.
TEST(DewarpPlanes, EqualsThePerPixelDefinition) {
  const struct {
    int32_t w, h;
    float F;
    uint8_t crop;
    double c0, c1, c2, c3;
  } cases[] = {{61, 37, 40.0f, 0, 0.0, -0.04, 0.006, 0.0},
               {64, 48, 25.0f, 5, 0.01, 0.08, -0.003, 0.0001},
               {9, 7, 3.0f, 30, 0.0, 0.3, 0.0, 0.0},
               {5, 4, 2.0f, 250, 0.0, 0.1, 0.0, 0.0},
               {133, 70, 60.0f, 3, 0.002, -0.05, 0.004, -0.0002}};
  for (const auto& k : cases) {
    const std::vector<uint8_t> r = patterned_plane(k.w, k.h, 3), g = patterned_plane(k.w, k.h, 4),
                               b = patterned_plane(k.w, k.h, 5);
    for (const vector_isa isa : test::runnable_vector_isas()) {
      std::vector<uint8_t> out[3];
      for (auto& o : out) o.assign(static_cast<size_t>(k.w) * k.h, 0xAB);
      dewarp_planes(r.data(), g.data(), b.data(), out[0].data(), out[1].data(), out[2].data(), k.w, k.h,
                    k.F, k.crop, k.c0, k.c1, k.c2, k.c3, isa);
      const auto margin = [&](int32_t size) {
        const int32_t cut = size * k.crop / 100;
        return (cut + (cut & 1)) / 2;
      };
      const int32_t mr = margin(k.h), mc = margin(k.w);
      for (int32_t y = 0; y < k.h; ++y) {
        for (int32_t x = 0; x < k.w; ++x) {
          const std::vector<uint8_t>* in[3] = {&r, &g, &b};
          for (int p = 0; p < 3; ++p) {
            int want = 0;
            if (y >= mr && y <= k.h - mr - 1 && x >= mc && x <= k.w - mc - 1) {
              const float yh = static_cast<float>(y - k.h / 2) / k.F, xh = static_cast<float>(x - k.w / 2) / k.F;
              const double yd = static_cast<double>(yh), xd = static_cast<double>(xh);
              const double Fd = static_cast<double>(k.F), r2 = xd * xd + yd * yd;
              const double kk = k.c0 + k.c1 * r2 + k.c2 * (r2 * r2) + k.c3 * (r2 * r2 * r2);
              const double sy = std::clamp((yd + kk * yd) * Fd + k.h / 2, 0.0, k.h - 2.0);
              const double sx = std::clamp((xd + kk * xd) * Fd + k.w / 2, 0.0, k.w - 2.0);
              const auto r0 = static_cast<int32_t>(std::floor(sy)), c0 = static_cast<int32_t>(std::floor(sx));
              const float u = static_cast<float>(r0 + 1) - static_cast<float>(sy);
              const float w = static_cast<float>(c0 + 1) - static_cast<float>(sx);
              const auto P = [&](int32_t rr, int32_t cc) { return static_cast<float>((*in[p])[rr * k.w + cc]); };
              const float value = P(r0, c0) * u * w + P(r0, c0 + 1) * u * (1 - w) + P(r0 + 1, c0) * (1 - u) * w +
                                  P(r0 + 1, c0 + 1) * (1 - u) * (1 - w);
              want = static_cast<uint8_t>(static_cast<int32_t>(value));
            }
            ASSERT_EQ(out[p][y * k.w + x], want) << k.w << "x" << k.h << " plane " << p << " at " << y
                                                  << "," << x << " level " << static_cast<int>(isa);
          }
        }
      }
    }
  }
}

TEST(DewarpPair, TheIndicatorDecidesWhichCameraChanges) {
  // Working pairs of 1280 x 24 (main) and 1280 x 30 (aux), all planes alike.
  const std::vector<uint8_t> main = patterned_plane(1280, 24, 1), aux = patterned_plane(1280, 30, 2);
  zorvel_chart_pair pair, scratch;
  const auto refill = [&] {
    pair.main_r = pair.main_g = pair.main_b = main;
    pair.aux_r = pair.aux_g = pair.aux_b = aux;
    pair.main_width = pair.aux_width = 1280, pair.main_height = 24, pair.aux_height = 30;
  };
  zorvel_working_form form;
  form.main_lens = {{2.0}, {}, 500.0f};       // D = 2.0: not dewarped
  form.aux_lens = {{0.0, 0.01}, {}, 500.0f};  // D = 0.01: dewarped
  refill();
  dewarp_pair(form, pair, scratch);
  EXPECT_EQ(pair.main_g, main);
  std::vector<uint8_t> want(aux.size()), unused(aux.size());
  dewarp_planes(aux.data(), aux.data(), aux.data(), unused.data(), want.data(), unused.data(), 1280, 30,
                500.0f, 0, 0.0, 0.01, 0.0, 0.0);
  EXPECT_EQ(pair.aux_g, want);
  EXPECT_NE(want, aux);
  // F = 0 never reaches the kernel: the planes stay as they are.
  form.aux_lens.fl_dewarping_reference = 0.0f;
  refill();
  dewarp_pair(form, pair, scratch);
  EXPECT_EQ(pair.aux_g, aux);
}

// The runs dewarp a sampled capture straight from its planes: the same pair
// as the copy at working size followed by the dewarp, on both mountings,
// with and without the main camera, for lenses that are and are not dewarped
// and for full-size captures, which take the copy.
TEST(DewarpedWorkingPair, EqualsTheCopyFollowedByTheDewarp) {
  struct lens_case {
    zorvel_lens_model main, aux;
    uint8_t crop;
  };
  const lens_case lenses[] = {{{{0.0, -0.03, 0.002}, {}, 600.0f}, {{0.0, 0.02}, {}, 500.0f}, 0},
                              {{{2.0}, {}, 600.0f}, {{0.0, 0.05, -0.004}, {}, 450.0f}, 6},
                              {{{0.0, 0.02}, {}, 0.0f}, {{0.0, 0.01}, {}, 0.0f}, 0}};
  for (const bool rotated : {false, true}) {
    for (const bool sampled : {true, false}) {
      // Full-size 2560 x 96 (main) and 2048 x 120 (aux), or their working images.
      const int32_t mw = 2560, mh = 96, aw = 2048, ah = 120;
      const auto plane = [&](int32_t w, int32_t h, uint32_t salt) {
        if (!sampled) return patterned_plane(w, h, salt);
        const zorvel_sample_grid grid = working_sample_grid(w, h, rotated);
        return patterned_plane(static_cast<int32_t>(grid.cols.size()),
                               static_cast<int32_t>(grid.rows.size()), salt);
      };
      const std::vector<uint8_t> m[3] = {plane(mw, mh, 0), plane(mw, mh, 1), plane(mw, mh, 2)};
      const std::vector<uint8_t> a[3] = {plane(aw, ah, 3), plane(aw, ah, 4), plane(aw, ah, 5)};
      zorvel_capture_pair capture{m[0].data(), m[1].data(), m[2].data(), a[0].data(), a[1].data(),
                                  a[2].data(), mw, mh, aw, ah, sampled};
      for (const lens_case& l : lenses) {
        for (const bool main_too : {true, false}) {
          zorvel_working_form form;
          form.rotated = rotated;
          form.crop_percent_for_aux = l.crop;
          form.main_lens = l.main;
          form.aux_lens = l.aux;
          zorvel_chart_pair want, want_scratch, got, got_scratch;
          normalize_capture_pair(capture, rotated, want);
          zorvel_working_form reference = form;
          if (!main_too) reference.main_lens.dewarp_coeff[0] = 2.0;  // not dewarped
          dewarp_pair(reference, want, want_scratch);
          dewarped_working_pair(capture, form, main_too, got, got_scratch);
          const std::string where = std::string(rotated ? "turned" : "level") +
                                    (sampled ? ", sampled" : ", full size") + ", crop " +
                                    std::to_string(l.crop) + (main_too ? ", both" : ", aux only");
          EXPECT_EQ((std::array{got.main_width, got.main_height, got.aux_width, got.aux_height}),
                    (std::array{want.main_width, want.main_height, want.aux_width, want.aux_height}))
              << where;
          EXPECT_EQ((std::array{got_scratch.aux_width, got_scratch.aux_height}),
                    (std::array{want_scratch.aux_width, want_scratch.aux_height}))
              << where;
          EXPECT_EQ(got.main_r, want.main_r) << where;
          EXPECT_EQ(got.main_b, want.main_b) << where;
          EXPECT_EQ(got.aux_r, want.aux_r) << where;
          EXPECT_EQ(got.aux_g, want.aux_g) << where;
          EXPECT_EQ(got.aux_points.Zw.size(), 1200u) << where;
        }
      }
    }
  }
}

}  // namespace
}  // namespace zorvel
