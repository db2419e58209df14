// Projection of world points into the simulated cameras and back.
#include "sim/module.h"

#include <cmath>

namespace zorvel::sim {

double focus_ratio(double distance_mm, double focal_length_mm) {
  return distance_mm / (distance_mm - focal_length_mm);
}

mat3 aux_rotation(const module_model& m) {
  return rotation_from_angles_deg(m.pitch_deg, m.yaw_deg, m.roll_deg);
}

vec3 aux_centre(const module_model& m) {
  const double sign = m.position_flag == 1 ? -1.0 : 1.0;
  return {0.0, sign * m.baseline_mm, 0.0};
}

camera_view make_view(const camera_model& cam, int32_t rotation_flag, double focus_distance_mm,
                      const mat3& rotation, const vec3& centre) {
  camera_view v;
  const bool swap = rotation_flag != 0;
  v.scene_width = swap ? cam.height : cam.width;
  v.scene_height = swap ? cam.width : cam.height;
  // The normalised side becomes 1280: the width, or the height when turned.
  if (!swap) {
    v.working_width = 1280;
    v.working_height = static_cast<int32_t>(static_cast<double>(static_cast<uint32_t>(v.scene_height)) *
                                            1280 / static_cast<double>(static_cast<uint32_t>(v.scene_width)));
    v.scale = static_cast<double>(v.scene_width) / 1280.0;
  } else {
    v.working_height = 1280;
    v.working_width = static_cast<int32_t>(static_cast<double>(static_cast<uint32_t>(v.scene_width)) *
                                           1280 / static_cast<double>(static_cast<uint32_t>(v.scene_height)));
    v.scale = static_cast<double>(v.scene_height) / 1280.0;
  }
  v.centre_row = v.working_height / 2;
  v.centre_col = v.working_width / 2;
  const double focal_capture =
      cam.focal_length_mm * focus_ratio(focus_distance_mm, cam.focal_length_mm) / cam.pixel_pitch_mm;
  v.focal_working = focal_capture / v.scale;
  v.lens = cam.lens;
  v.rotation = rotation;
  v.centre = centre;
  v.mono = cam.mono;
  return v;
}

camera_view main_view(const module_model& m, double focus_distance_mm) {
  return make_view(m.main, m.rotation_flag, focus_distance_mm, identity3(), {0, 0, 0});
}

camera_view aux_view(const module_model& m, double focus_distance_mm) {
  return make_view(m.aux, m.rotation_flag, focus_distance_mm, aux_rotation(m), aux_centre(m));
}

bool project_working(const camera_view& v, const vec3& world, double* row, double* col) {
  const vec3 c = times(v.rotation, sub(world, v.centre));
  if (c[2] <= 1e-9) return false;
  *row = v.centre_row + v.focal_working * c[0] / c[2];
  *col = v.centre_col + v.focal_working * c[1] / c[2];
  return true;
}

bool capture_ray(const camera_view& v, double row, double col, vec3* dir_world) {
  // The library samples working pixel i at capture pixel i * scale.
  const double wrow = row / v.scale, wcol = col / v.scale;
  const double reference = static_cast<double>(v.lens.reference);
  double ny = (wrow - v.centre_row) / reference;
  double nx = (wcol - v.centre_col) / reference;
  bool ok = true;
  if (v.lens.active()) ok = undistort_normalised(v.lens, ny, nx, &ny, &nx);
  const double uy = ny * reference, ux = nx * reference;
  const vec3 cam{uy / v.focal_working, ux / v.focal_working, 1.0};
  *dir_world = transposed_times(v.rotation, cam);
  return ok;
}

}  // namespace zorvel::sim
