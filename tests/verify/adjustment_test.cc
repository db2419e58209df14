// Lens adjustment lookups. The RMS of the row differences is checked where
// the verification measures it, on a grid with one corner off.
#include "verify/adjustment.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace zorvel {
namespace {

// The anchors hold outside 1.002 ... 1.0107; the middle one closes the lower segment.
TEST(RatioAdjustCoefficients, AnchorsHoldOutsideAndInterpolateBetween) {
  const double mid = (1.0071 + 1.0107) / 2;
  for (const auto& [r, first1, second2] : {std::tuple{0.99, -0.284, -0.138}, {1.2, -0.307, -0.1512},
                                           {1.0071, -0.3021, -0.1483}, {mid, (-0.3021 - 0.307) / 2, (-0.1483 - 0.1512) / 2}}) {
    double first[3], second[3];
    ratio_adjust_coefficients(r, first, second);
    EXPECT_NEAR(first[1], first1, 1e-12) << r;
    EXPECT_NEAR(second[2], second2, 1e-12) << r;
  }
}

TEST(InterpolateAdjustment, PiecewiseLinearWithGuards) {
  const float xs[5] = {1.0f, 1.01f, 1.02f, 1.03f, 1.04f};
  const float ys[5] = {0.98f, 0.99f, 1.01f, 1.02f, 1.05f};
  // Held outside the breakpoints; an inner breakpoint closes the segment below it.
  for (const auto& [ratio, factor] : {std::pair{0.9f, 0.98f}, {1.2f, 1.05f}, {1.02f, 1.01f}, {1.01f, 0.99f}}) {
    EXPECT_EQ(interpolate_adjustment(ratio, xs, ys), factor) << ratio;
  }
  EXPECT_NEAR(interpolate_adjustment(1.025f, xs, ys), 1.015f, 1e-6);
  const float negative[5] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  EXPECT_EQ(interpolate_adjustment(1.005f, xs, negative), 1.0f);  // a negative factor is refused
}

}  // namespace
}  // namespace zorvel
