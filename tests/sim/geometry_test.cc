// The simulator's rotation convention must read back through the library's
// angle formulas exactly, or every ground-truth comparison is off.
#include "sim/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zorvel::sim {
namespace {

constexpr double kAngleTolerance = 1e-12;  // degrees; pure double round trip

TEST(Geometry, AnglesReadBackThroughTheLibraryFormulas) {
  const double cases[][3] = {{0, 0, 0}, {1.5, -2.0, 0.7}, {-2.0, 0.3, -1.9}, {0.01, 2.0, 2.0}, {20, -35, 50}};
  for (const auto& c : cases) {
    const mat3 r = rotation_from_angles_deg(c[0], c[1], c[2]);
    const angles_deg a = angles_from_rotation(r);
    EXPECT_NEAR(a.pitch, c[0], kAngleTolerance);
    EXPECT_NEAR(a.yaw, c[1], kAngleTolerance);
    EXPECT_NEAR(a.roll, c[2], kAngleTolerance);
    // Orthonormal: R R^T = I.
    const mat3 i = multiply(r, transpose(r));
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(i[k], k % 4 == 0 ? 1.0 : 0.0, 1e-15);
  }
}

TEST(Geometry, EachAngleTurnsAboutItsOwnAxis) {
  // Yaw turns about the row axis: the row component of any vector is kept.
  const vec3 v{0.3, -0.2, 1.0};
  EXPECT_DOUBLE_EQ(times(rotation_from_angles_deg(0, 3, 0), v)[0], v[0]);
  // Pitch about the column axis keeps the column component.
  EXPECT_DOUBLE_EQ(times(rotation_from_angles_deg(3, 0, 0), v)[1], v[1]);
  // Roll about the optical axis keeps depth.
  EXPECT_DOUBLE_EQ(times(rotation_from_angles_deg(0, 0, 3), v)[2], v[2]);
}

TEST(Geometry, PrintedAnglesUseTheLibrarysDegreeConstant) {
  // One degree of yaw prints as pi / 3.14159 degrees.
  const angles_deg a = library_angles_from_rotation(rotation_from_angles_deg(0, 1, 0));
  EXPECT_NEAR(a.yaw, kPi / 3.14159, 1e-12);
  EXPECT_EQ(std::round(a.yaw * 1e6), 1000001.0);
}

}  // namespace
}  // namespace zorvel::sim
