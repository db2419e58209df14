// The virtual dual-camera module: two pinhole cameras with thin-lens
// autofocus, optional radial distortion, a baseline along the column axis and
// a relative rotation. Camera frames are (row, column, depth) = (down, right,
// forward) in millimetres; the main camera sits at the origin of the world.
#pragma once

#include <cstdint>

#include "sim/geometry.h"
#include "sim/lens.h"

namespace zorvel::sim {

struct camera_model {
  double focal_length_mm = 3.75;
  double pixel_pitch_mm = 0.0012;
  int32_t width = 4000;   // capture file width, pixels
  int32_t height = 3000;  // capture file height, pixels
  bool mono = false;
  dewarp_model lens;      // distortion in working pixels
  float f_number = 2.0f;
  float fovd_degrees = 78.0f;  // echoed in the configuration only
};

struct module_model {
  camera_model main;
  camera_model aux;
  double baseline_mm = 20.0;
  int32_t position_flag = 0;  // 0: aux at +column (right of main); 1: at -column
  double pitch_deg = 0.0;     // aux relative to main, see rotation_from_angles_deg
  double yaw_deg = 0.0;
  double roll_deg = 0.0;
  int32_t rotation_flag = 0;  // 0 none, 1 "right", 2 "left": how the library turns a capture
};

// Thin-lens focal-length ratio of a lens focused at distance_mm: d / (d - f).
double focus_ratio(double distance_mm, double focal_length_mm);

// Rotation taking main-camera coordinates to aux-camera coordinates.
mat3 aux_rotation(const module_model& m);
// Aux camera centre in main-camera coordinates (position flag's sign).
vec3 aux_centre(const module_model& m);

// One camera as the library sees it after loading and turning the capture:
// "scene" sizes are the oriented capture, "working" sizes the 1280 image.
struct camera_view {
  int32_t scene_width = 0;
  int32_t scene_height = 0;
  int32_t working_width = 0;
  int32_t working_height = 0;
  double scale = 1.0;           // capture pixels per working pixel
  double centre_row = 0.0;      // principal point, working pixels (library's integer halves)
  double centre_col = 0.0;
  double focal_working = 0.0;   // effective focal length, working pixels
  dewarp_model lens;
  mat3 rotation = identity3();  // world -> camera
  vec3 centre{0, 0, 0};         // camera centre in the world
  bool mono = false;
};

// View of a camera focused at focus_distance_mm (autofocus ratio applied).
camera_view make_view(const camera_model& cam, int32_t rotation_flag, double focus_distance_mm,
                      const mat3& rotation, const vec3& centre);
camera_view main_view(const module_model& m, double focus_distance_mm);
camera_view aux_view(const module_model& m, double focus_distance_mm);

// World point -> undistorted working-image position (row, column); false when
// the point is not in front of the camera.
bool project_working(const camera_view& v, const vec3& world, double* row, double* col);

// Oriented-capture position (row, column; pixel centres at integers) -> unit
// ray direction in the world. False when the distortion cannot be inverted.
bool capture_ray(const camera_view& v, double row, double col, vec3* dir_world);

}  // namespace zorvel::sim
