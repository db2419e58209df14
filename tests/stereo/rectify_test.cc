// The rectification warp on maps whose source pixel is known by hand (shifts,
// a mirror, single correction terms) and the correction fit in projected
// coordinates.
#include "stereo/rectify.h"
#include "support/test_support.h"

#include "numerics/cubic_basis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <random>

namespace zorvel {
namespace {

// Half sizes 8 and 16 keep the normalised coordinates exact in binary.
constexpr int32_t W = 33, H = 17;

zorvel_chart_pair random_aux(int32_t width, int32_t height) {
  std::mt19937 rng(7);
  zorvel_chart_pair p;
  for (auto* plane : {&p.aux_r, &p.aux_g, &p.aux_b}) {
    plane->resize(static_cast<size_t>(width) * height);
    for (auto& v : *plane) v = static_cast<uint8_t>(rng());
  }
  return p;
}

TEST(RectifyAux, HandComputedMaps) {
  const zorvel_chart_pair src = random_aux(W, H);
  // Lookups stop at the last-but-one row and column (the bilinear neighbour).
  const auto at = [&](int32_t r, int32_t c) { return src.aux_g[std::clamp(r, 0, H - 2) * W + std::clamp(c, 0, W - 2)]; };
  struct map_case {
    const char* name;
    std::array<double, 9> R;
    float o_row, o_col;
    int g_index;  // one correction coefficient, -1 for none
    float g_value;
    std::function<int(int32_t r, int32_t c)> expected;
  };
  constexpr std::array<double, 9> I = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const map_case cases[] = {
      {"identity", I, 0, 0, -1, 0, [&](int r, int c) { return at(r, c); }},
      {"offsets", I, 2, -3, -1, 0, [&](int r, int c) { return at(r + 2, c - 3); }},
      {"column constant", I, 0, 0, 0, 4, [&](int r, int c) { return at(r, c + 4); }},
      {"row constant", I, 0, 0, 9, -1, [&](int r, int c) { return at(r - 1, c); }},
      {"column v", I, 0, 0, 1, 16, [&](int r, int c) { return at(r, 2 * c - 16); }},
      {"column u^2", I, 0, 0, 4, 64, [&](int r, int c) { return at(r, c + (r - 8) * (r - 8)); }},
      {"row v", I, 0, 0, 10, 16, [&](int r, int c) { return at(r + c - 16, c); }},
      {"half turn", {-1, 0, 0, 0, -1, 0, 0, 0, 1}, 0, 0, -1, 0,
       [&](int r, int c) { return at(16 - r, 32 - c); }},
      // Half a column: the two neighbours' mean, truncated.
      {"half column", I, 0, 0.5f, -1, 0,
       [&](int r, int c) { return c >= W - 2 ? at(r, c) : (at(r, c) + at(r, c + 1)) / 2; }},
  };
  for (const map_case& m : cases) {
    float g[18] = {};
    if (m.g_index >= 0) g[m.g_index] = m.g_value;
    zorvel_chart_pair dst;
    ASSERT_EQ(rectify_aux(src, dst, 500.0f, m.R.data(), 500.0f, H, W, m.o_row, m.o_col, g), 0) << m.name;
    for (int32_t i = 0; i < H * W; ++i) ASSERT_EQ(dst.aux_g[i], m.expected(i / W, i % W)) << m.name << " at " << i;
  }
}

// The warp pixel by pixel as defined, on maps with fractional positions: the
// row-wise organisation must give every byte of the plain loop.
TEST(RectifyAux, EqualsThePerPixelDefinition) {
  const struct {
    int32_t w, h;
    std::array<double, 9> R;
    float Z, fa, o_row, o_col;
  } cases[] = {
      {W, H, {0.9998, -0.0121, 0.0174, 0.0122, 0.9999, -0.0052, -0.0173, 0.0054, 0.9998}, 500.0f, 507.3f, 0.3f, -1.7f},
      {64, 47, {0.99, 0.1, -0.05, -0.1, 0.99, 0.02, 0.05, -0.02, 1.0}, 300.0f, 290.5f, -2.25f, 3.5f},
      {2, 2, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 10.0f, 11.0f, 0.1f, 0.2f},
      {141, 29, {0.9998, 0.0121, -0.0174, -0.0122, 0.9999, 0.0052, 0.0173, -0.0054, 0.9998}, 700.0f, 690.0f, 0.5f, 1.25f},
  };
  float g[18] = {};
  g[0] = 0.4f, g[2] = -0.8f, g[6] = 0.3f, g[9] = -0.2f, g[13] = 0.5f, g[17] = 0.25f;
  double col_poly[9], row_poly[9];
  for (int j = 0; j < 9; ++j) col_poly[j] = static_cast<double>(g[j]), row_poly[j] = static_cast<double>(g[9 + j]);
  for (const auto& k : cases) {
    const zorvel_chart_pair src = random_aux(k.w, k.h);
    for (const vector_isa isa : test::runnable_vector_isas()) {
      zorvel_chart_pair dst;
      ASSERT_EQ(rectify_aux(src, dst, k.Z, k.R.data(), k.fa, k.h, k.w, k.o_row, k.o_col, g, isa), 0);
      const double hh = k.h / 2, hw = k.w / 2;
      for (int32_t r = 0; r < k.h; ++r) {
        for (int32_t c = 0; c < k.w; ++c) {
          const double y = r - k.h / 2, x = c - k.w / 2, z = static_cast<double>(k.Z), f = static_cast<double>(k.fa);
          const double w = k.R[6] * y + k.R[7] * x + k.R[8] * z;
          const double first = (k.R[0] * y + k.R[1] * x + k.R[2] * z) * f / w + static_cast<double>(k.o_row);
          const double second = (k.R[3] * y + k.R[4] * x + k.R[5] * z) * f / w + static_cast<double>(k.o_col);
          const double u = first / hh, v = second / hw;
          const double sy = std::clamp(evaluate_cubic(row_poly, v, u) + first + hh, 0.0, k.h - 2.0);
          const double sx = std::clamp(evaluate_cubic(col_poly, v, u) + second + hw, 0.0, k.w - 2.0);
          const int32_t r1 = static_cast<int32_t>(std::floor(sy) + 1), c1 = static_cast<int32_t>(std::floor(sx) + 1);
          const double wr = static_cast<double>(static_cast<float>(r1) - static_cast<float>(sy));
          const double wc = static_cast<double>(static_cast<float>(c1) - static_cast<float>(sx));
          for (const auto* plane : {&src.aux_r, &src.aux_g, &src.aux_b}) {
            const auto S = [&](int32_t rr, int32_t cc) { return static_cast<double>((*plane)[rr * k.w + cc]); };
            const double value = S(r1 - 1, c1 - 1) * wr * wc + S(r1 - 1, c1) * wr * (1 - wc) +
                                 S(r1, c1 - 1) * (1 - wr) * wc + S(r1, c1) * (1 - wr) * (1 - wc);
            const std::vector<uint8_t>& out = plane == &src.aux_r ? dst.aux_r : plane == &src.aux_g ? dst.aux_g : dst.aux_b;
            ASSERT_EQ(out[r * k.w + c], static_cast<uint8_t>(static_cast<int32_t>(value)))
                << k.w << " at " << r << "," << c << " level " << static_cast<int>(isa);
          }
        }
      }
    }
  }
}

TEST(RectifyAux, HostileInputStaysInsideTheImageAndBadSizesAreRefused) {
  const zorvel_chart_pair src = random_aux(W, H);
  const double R[9] = {};  // w = 0 everywhere: NaN positions
  const float g[18] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1e30f};
  zorvel_chart_pair dst;
  EXPECT_EQ(rectify_aux(src, dst, 100.0f, R, 100.0f, H, W, 0.0f, 0.0f, g), 0);
  EXPECT_EQ(dst.aux_r.size(), size_t{H * W});
  EXPECT_EQ(rectify_aux(src, dst, 100.0f, R, 100.0f, H + 1, W, 0.0f, 0.0f, g), -1);  // planes too small
  EXPECT_EQ(rectify_aux(src, dst, 100.0f, R, 100.0f, 1, W, 0.0f, 0.0f, g), -1);
}

TEST(FitInverseCorrection, SmallCorrectionUnderTheIdentityIsItsOwnInverse) {
  const double R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  // Column terms 1 and u^2, row terms v and v^3.
  const float g[18] = {0.5f, 0, 0, 0, 0.3f, 0, 0, 0, 0, 0, -0.4f, 0, 0, 0, 0.2f};
  float out[18] = {};
  EXPECT_EQ(fit_inverse_correction(R, g, out, 1280, 960, 1000.0f, 1000.0f, 0.0f, 0.0f), 144);
  for (int j = 0; j < 18; ++j) EXPECT_NEAR(out[j], g[j], 0.01) << j;

  for (float& v : out) v = 5.0f;
  EXPECT_EQ(fit_inverse_correction(R, g, out, 12, 960, 1.0f, 1.0f, 0.0f, 0.0f), 0);  // extent < 13
  EXPECT_EQ(out[0], 5.0f);
}

}  // namespace
}  // namespace zorvel
