// Small fixed-size vector algebra for the simulated module: 3-vectors and
// row-major 3 x 3 matrices in (row, column, depth) components, millimetres.
#pragma once

#include <array>
#include <cmath>

namespace zorvel::sim {

using vec3 = std::array<double, 3>;
using mat3 = std::array<double, 9>;  // element (r, c) at 3r + c

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kRadPerDeg = kPi / 180.0;

inline vec3 add(const vec3& a, const vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline vec3 sub(const vec3& a, const vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline vec3 scale(const vec3& a, double k) { return {a[0] * k, a[1] * k, a[2] * k}; }
inline double dot(const vec3& a, const vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline vec3 cross(const vec3& a, const vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double norm(const vec3& a) { return std::sqrt(dot(a, a)); }

mat3 identity3();
mat3 multiply(const mat3& a, const mat3& b);
mat3 transpose(const mat3& a);
vec3 times(const mat3& m, const vec3& v);
vec3 transposed_times(const mat3& m, const vec3& v);  // m^T v

// Rotation about the row (vertical) axis, the column axis and the optical axis.
mat3 rotation_about_row_axis(double radians);
mat3 rotation_about_column_axis(double radians);
mat3 rotation_about_optical_axis(double radians);

// R = roll x pitch x yaw, so that pitch = atan2(-R20, hypot(R21, R22)),
// yaw = atan2(R21, R22) and roll = atan2(R10, R00) give the inputs back.
mat3 rotation_from_angles_deg(double pitch_deg, double yaw_deg, double roll_deg);

struct angles_deg {
  double pitch = 0.0;
  double yaw = 0.0;
  double roll = 0.0;
};
// Exact degrees (180 / pi).
angles_deg angles_from_rotation(const mat3& r);
// The library's printout, which converts with 180 / 3.14159.
angles_deg library_angles_from_rotation(const mat3& r);

}  // namespace zorvel::sim
