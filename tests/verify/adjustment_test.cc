// Lens adjustment lookups and the RMS of integer differences.
#include "verify/adjustment.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zorvel {
namespace {

TEST(RatioAdjustCoefficients, AnchorsAndSegments) {
  double first[3], second[3];
  ratio_adjust_coefficients(0.99, first, second);
  EXPECT_EQ(first[0], 0.1743);
  EXPECT_EQ(second[2], -0.138);
  ratio_adjust_coefficients(1.2, first, second);
  EXPECT_EQ(first[1], -0.307);
  EXPECT_EQ(second[0], -0.1704);
  ratio_adjust_coefficients(1.0071, first, second);  // closes the lower segment
  EXPECT_NEAR(first[1], -0.3021, 1e-12);
  ratio_adjust_coefficients((1.0071 + 1.0107) / 2, first, second);
  EXPECT_NEAR(first[2], (0.151 + 0.1542) / 2, 1e-12);
  EXPECT_NEAR(second[1], (0.2956 + 0.3002) / 2, 1e-12);
}

TEST(InterpolateAdjustment, PiecewiseLinearWithGuards) {
  const float xs[5] = {1.0f, 1.01f, 1.02f, 1.03f, 1.04f};
  const float ys[5] = {0.98f, 0.99f, 1.0f, 1.02f, 1.05f};
  EXPECT_EQ(interpolate_adjustment(0.9f, xs, ys), 0.98f);
  EXPECT_EQ(interpolate_adjustment(1.2f, xs, ys), 1.05f);
  EXPECT_EQ(interpolate_adjustment(1.02f, xs, ys), 1.0f);  // the right end of its segment
  EXPECT_NEAR(interpolate_adjustment(1.025f, xs, ys), 1.01f, 1e-6);

  const float negative_ys[5] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  EXPECT_EQ(interpolate_adjustment(1.005f, xs, negative_ys), 1.0f);
}

TEST(RmsOfDifferences, OverIntegerPairs) {
  const int32_t a[3] = {1, 2, 3}, b[3] = {4, 2, -1};
  EXPECT_DOUBLE_EQ(rms_of_differences(a, b, 3), std::sqrt(25.0 / 3.0));
  EXPECT_TRUE(std::isnan(rms_of_differences(a, b, 0)));
}

}  // namespace
}  // namespace zorvel
