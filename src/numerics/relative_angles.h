// The aux camera's orientation against the main camera as three angles, read
// from the 3 x 3 rotation (row-major) as roll x pitch x yaw.
#pragma once

namespace zorvel {

// 180 / 3.14159: stations have always printed and judged the angles with
// this approximation of pi, so it stays.
inline constexpr double kDegreesPerRadianApprox = 57.295827908797776;

struct zorvel_relative_angles {
  double pitch_deg = 0.0;  // about the column axis
  double yaw_deg = 0.0;    // about the row (vertical) axis
  double roll_deg = 0.0;   // about the optical axis
};

zorvel_relative_angles relative_angles(const double rot[9]);

}  // namespace zorvel
