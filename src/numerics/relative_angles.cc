#include "numerics/relative_angles.h"

#include <cmath>

namespace zorvel {

zorvel_relative_angles relative_angles(const double rot[9]) {
  zorvel_relative_angles a;
  a.pitch_deg = std::atan2(-rot[6], std::sqrt(rot[7] * rot[7] + rot[8] * rot[8])) *
                kDegreesPerRadianApprox;
  a.yaw_deg = std::atan2(rot[7], rot[8]) * kDegreesPerRadianApprox;
  a.roll_deg = std::atan2(rot[3], rot[0]) * kDegreesPerRadianApprox;
  return a;
}

}  // namespace zorvel
