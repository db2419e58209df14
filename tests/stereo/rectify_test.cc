// The rectification warp against a plain per-pixel reference, the aux-plane
// copy and the correction fit in projected coordinates.
#include "stereo/rectify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace zorvel {
namespace {

// The warp written as one loop per pixel, formula by formula.
void reference_rectify(const zorvel_chart_pair& src, zorvel_chart_pair& dst, float Z,
                       const double R[9], float fa, int32_t H, int32_t W, float o_row,
                       float o_col, const float g[18]) {
  const std::vector<uint8_t>* S[3] = {&src.aux_r, &src.aux_g, &src.aux_b};
  std::vector<uint8_t>* D[3] = {&dst.aux_r, &dst.aux_g, &dst.aux_b};
  for (auto* d : D) d->assign(static_cast<size_t>(W) * H, 0);
  for (int32_t r = 0; r < H; ++r) {
    for (int32_t c = 0; c < W; ++c) {
      const int32_t y = r - H / 2, x = c - W / 2;
      const double w = R[6] * y + R[7] * x + R[8] * static_cast<double>(Z);
      const double first = (R[0] * y + R[1] * x + R[2] * static_cast<double>(Z)) *
                               static_cast<double>(fa) / w +
                           static_cast<double>(o_row);
      const double second = (R[3] * y + R[4] * x + R[5] * static_cast<double>(Z)) *
                                static_cast<double>(fa) / w +
                            static_cast<double>(o_col);
      const double u = first / (H / 2), v = second / (W / 2);
      const double m[9] = {1, v, v * v, u * v, u * u, v * v * v, v * v * u, u * u * v, u * u * u};
      double sum_row = 0.0, sum_col = 0.0;
      for (int j = 0; j < 9; ++j) sum_row += static_cast<double>(g[9 + j]) * m[j];
      for (int j = 0; j < 9; ++j) sum_col += static_cast<double>(g[j]) * m[j];
      double sy = sum_row + first + H / 2;
      double sx = sum_col + second + W / 2;
      if (!(sy > 0.0)) sy = 0.0;  // NaN included
      if (sy > H - 2) sy = H - 2;
      if (!(sx > 0.0)) sx = 0.0;
      if (sx > W - 2) sx = W - 2;
      const int32_t r1 = static_cast<int32_t>(std::floor(sy) + 1);
      const int32_t c1 = static_cast<int32_t>(std::floor(sx) + 1);
      const float wr = static_cast<float>(static_cast<uint16_t>(r1)) - static_cast<float>(sy);
      const float wc = static_cast<float>(static_cast<uint16_t>(c1)) - static_cast<float>(sx);
      const double dr = wr, dc = wc;
      for (int p = 0; p < 3; ++p) {
        const auto& s = *S[p];
        const double value = s[(r1 - 1) * W + c1 - 1] * dr * dc + s[(r1 - 1) * W + c1] * dr * (1.0 - dc) +
                             s[r1 * W + c1 - 1] * (1.0 - dr) * dc + s[r1 * W + c1] * (1.0 - dr) * (1.0 - dc);
        (*D[p])[r * W + c] = static_cast<uint8_t>(static_cast<int32_t>(value));
      }
    }
  }
}

zorvel_chart_pair random_aux(int32_t W, int32_t H, std::mt19937& rng) {
  zorvel_chart_pair p;
  p.aux_width = W;
  p.aux_height = H;
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto* plane : {&p.aux_r, &p.aux_g, &p.aux_b}) {
    plane->resize(static_cast<size_t>(W) * H);
    for (auto& v : *plane) v = static_cast<uint8_t>(byte(rng));
  }
  return p;
}

TEST(RectifyAux, MatchesThePerPixelFormulaByteForByte) {
  std::mt19937 rng;
  std::uniform_real_distribution<double> small(-0.03, 0.03);
  std::uniform_real_distribution<float> coeff(-4.0f, 4.0f);
  for (const auto& [W, H] : {std::pair{160, 120}, std::pair{131, 77}, std::pair{64, 200}}) {
    for (int trial = 0; trial < 4; ++trial) {
      const zorvel_chart_pair src = random_aux(W, H, rng);
      double R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
      for (double& v : R) v += small(rng);
      float g[18];
      for (float& v : g) v = coeff(rng);
      const float Z = 150.0f + trial, fa = 152.5f, o_row = 0.75f * trial, o_col = -1.25f;
      zorvel_chart_pair fast, slow;
      ASSERT_EQ(rectify_aux(src, fast, Z, R, fa, H, W, o_row, o_col, g), 0);
      reference_rectify(src, slow, Z, R, fa, H, W, o_row, o_col, g);
      EXPECT_EQ(fast.aux_r, slow.aux_r) << W << "x" << H << " trial " << trial;
      EXPECT_EQ(fast.aux_g, slow.aux_g);
      EXPECT_EQ(fast.aux_b, slow.aux_b);
    }
  }
}

TEST(RectifyAux, IdentityMapsEveryPixelToItself) {
  std::mt19937 rng;
  const int32_t W = 33, H = 21;
  const zorvel_chart_pair src = random_aux(W, H, rng);
  const double R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const float g[18] = {};
  zorvel_chart_pair dst;
  ASSERT_EQ(rectify_aux(src, dst, 500.0f, R, 500.0f, H, W, 0.0f, 0.0f, g), 0);
  for (int32_t r = 0; r < H; ++r) {
    for (int32_t c = 0; c < W; ++c) {
      // The clamp at H - 2 and W - 2 repeats the row and column before the last.
      const int32_t sr = r < H - 1 ? r : H - 2, sc = c < W - 1 ? c : W - 2;
      ASSERT_EQ(dst.aux_g[r * W + c], src.aux_g[sr * W + sc]) << r << "," << c;
    }
  }
}

TEST(RectifyAux, HostileInputStaysInsideTheImage) {
  std::mt19937 rng;
  const zorvel_chart_pair src = random_aux(40, 30, rng);
  double R[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};  // w = 0 everywhere: NaN positions
  float g[18] = {};
  g[9] = 1e30f;
  zorvel_chart_pair dst;
  EXPECT_EQ(rectify_aux(src, dst, 100.0f, R, 100.0f, 30, 40, 0.0f, 0.0f, g), 0);
  EXPECT_EQ(dst.aux_r.size(), 1200u);
  // Planes smaller than the requested size, or a size below 2, are refused.
  EXPECT_EQ(rectify_aux(src, dst, 100.0f, R, 100.0f, 31, 40, 0.0f, 0.0f, g), -1);
  EXPECT_EQ(rectify_aux(src, dst, 100.0f, R, 100.0f, 1, 40, 0.0f, 0.0f, g), -1);
}

TEST(CopyAuxPlanes, CopiesWidthTimesHeightBytes) {
  std::mt19937 rng;
  const zorvel_chart_pair src = random_aux(7, 5, rng);
  zorvel_chart_pair dst;
  dst.main_r.assign(35, 9);
  copy_aux_planes(src, dst, 5, 7);
  EXPECT_EQ(dst.aux_r, src.aux_r);
  EXPECT_EQ(dst.aux_b, src.aux_b);
  EXPECT_EQ(dst.main_r, std::vector<uint8_t>(35, 9));
}

TEST(FitInverseCorrection, SmallCorrectionUnderTheIdentityIsItsOwnInverse) {
  const double R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  float g[18] = {};
  g[0] = 0.5f;    // column shift
  g[4] = 0.3f;
  g[10] = -0.4f;  // row correction, linear term
  g[14] = 0.2f;
  float out[18] = {};
  EXPECT_EQ(fit_inverse_correction(R, g, out, 1280, 960, 1000.0f, 1000.0f, 0.0f, 0.0f), 144);
  for (int j = 0; j < 18; ++j) EXPECT_NEAR(out[j], g[j], 0.01) << j;

  const float zero[18] = {};
  EXPECT_EQ(fit_inverse_correction(R, zero, out, 1280, 960, 1000.0f, 1000.0f, 0.0f, 0.0f), 144);
  for (int j = 0; j < 18; ++j) EXPECT_EQ(out[j], 0.0f) << j;
}

TEST(FitInverseCorrection, ExtentsBelow13AreRefused) {
  const double R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const float g[18] = {};
  float out[18];
  for (float& v : out) v = 5.0f;
  EXPECT_EQ(fit_inverse_correction(R, g, out, 12, 960, 1.0f, 1.0f, 0.0f, 0.0f), 0);
  EXPECT_EQ(out[0], 5.0f);
}

}  // namespace
}  // namespace zorvel
