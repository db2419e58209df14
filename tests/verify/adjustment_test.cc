// Lens adjustment lookups and the RMS of integer differences.
#include "verify/adjustment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace zorvel {
namespace {

// The anchors hold outside 1.002 ... 1.0107; the middle one closes the lower segment.
TEST(RatioAdjustCoefficients, AnchorsHoldOutsideAndInterpolateBetween) {
  const double mid = (1.0071 + 1.0107) / 2;
  for (const auto& [r, first1, second2] : {std::tuple{0.99, -0.284, -0.138}, std::tuple{1.2, -0.307, -0.1512},
                                           std::tuple{1.0071, -0.3021, -0.1483},
                                           std::tuple{mid, (-0.3021 - 0.307) / 2, (-0.1483 - 0.1512) / 2}}) {
    double first[3], second[3];
    ratio_adjust_coefficients(r, first, second);
    EXPECT_NEAR(first[1], first1, 1e-12) << r;
    EXPECT_NEAR(second[2], second2, 1e-12) << r;
  }
}

TEST(InterpolateAdjustment, PiecewiseLinearWithGuards) {
  const float xs[5] = {1.0f, 1.01f, 1.02f, 1.03f, 1.04f};
  const float ys[5] = {0.98f, 0.99f, 1.0f, 1.02f, 1.05f};
  const float negative[5] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  EXPECT_EQ(interpolate_adjustment(0.9f, xs, ys), 0.98f);
  EXPECT_EQ(interpolate_adjustment(1.2f, xs, ys), 1.05f);
  EXPECT_EQ(interpolate_adjustment(1.02f, xs, ys), 1.0f);  // the right end of its segment
  EXPECT_NEAR(interpolate_adjustment(1.025f, xs, ys), 1.01f, 1e-6);
  EXPECT_EQ(interpolate_adjustment(1.005f, xs, negative), 1.0f);
}

TEST(RmsOfDifferences, OverIntegerPairs) {
  const int32_t a[3] = {1, 2, 3}, b[3] = {4, 2, -1};
  EXPECT_DOUBLE_EQ(rms_of_differences(a, b, 3), std::sqrt(25.0 / 3.0));
  EXPECT_TRUE(std::isnan(rms_of_differences(a, b, 0)));
}

}  // namespace
}  // namespace zorvel
