// Fixed-size rotation algebra of the simulated module.
#include "sim/geometry.h"

#include "numerics/relative_angles.h"

namespace zorvel::sim {

mat3 identity3() { return {1, 0, 0, 0, 1, 0, 0, 0, 1}; }

mat3 multiply(const mat3& a, const mat3& b) {
  mat3 m{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      m[3 * r + c] = a[3 * r] * b[c] + a[3 * r + 1] * b[3 + c] + a[3 * r + 2] * b[6 + c];
  return m;
}

mat3 transpose(const mat3& a) { return {a[0], a[3], a[6], a[1], a[4], a[7], a[2], a[5], a[8]}; }

vec3 times(const mat3& m, const vec3& v) {
  return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
          m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

vec3 transposed_times(const mat3& m, const vec3& v) {
  return {m[0] * v[0] + m[3] * v[1] + m[6] * v[2], m[1] * v[0] + m[4] * v[1] + m[7] * v[2],
          m[2] * v[0] + m[5] * v[1] + m[8] * v[2]};
}

mat3 rotation_about_row_axis(double radians) {
  const double c = std::cos(radians), s = std::sin(radians);
  return {1, 0, 0, 0, c, -s, 0, s, c};
}

mat3 rotation_about_column_axis(double radians) {
  const double c = std::cos(radians), s = std::sin(radians);
  return {c, 0, s, 0, 1, 0, -s, 0, c};
}

mat3 rotation_about_optical_axis(double radians) {
  const double c = std::cos(radians), s = std::sin(radians);
  return {c, -s, 0, s, c, 0, 0, 0, 1};
}

mat3 rotation_from_angles_deg(double pitch_deg, double yaw_deg, double roll_deg) {
  return multiply(rotation_about_optical_axis(roll_deg * kRadPerDeg),
                  multiply(rotation_about_column_axis(pitch_deg * kRadPerDeg),
                           rotation_about_row_axis(yaw_deg * kRadPerDeg)));
}

namespace {
angles_deg angles_with(const mat3& r, double deg_per_rad) {
  angles_deg a;
  a.pitch = std::atan2(-r[6], std::sqrt(r[7] * r[7] + r[8] * r[8])) * deg_per_rad;
  a.yaw = std::atan2(r[7], r[8]) * deg_per_rad;
  a.roll = std::atan2(r[3], r[0]) * deg_per_rad;
  return a;
}
}  // namespace

angles_deg angles_from_rotation(const mat3& r) { return angles_with(r, 180.0 / kPi); }

angles_deg library_angles_from_rotation(const mat3& r) {
  const zorvel_relative_angles a = relative_angles(r.data());
  return {a.pitch_deg, a.yaw_deg, a.roll_deg};
}

}  // namespace zorvel::sim
