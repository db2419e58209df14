// Named scenarios of the simulator: a module, its two calibration charts, the
// verification chart, how the captures are formed, and the thresholds written
// into the configurations. `good` passes every table row; the others show one
// property (portrait mounting, distortion, mono sensors) or one fault.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/chart.h"
#include "sim/module.h"
#include "sim/render.h"

namespace zorvel::sim {

struct thresholds {
  float residual_vd_pixels = 1.0f;
  float scale_difference_percent = 1.0f;
  float l_origin_distance_percent = 5.0f;
  float flat_distance_percent = 5.0f;
  float flat_hd_stdev = 2.0f;
  uint8_t fov_percent = 80;
  uint8_t percentile = 95;
  float vd_max = 2.0f;
  float hd_max = 4.0f;
  float fl_ratio_tolerance_percent = 1.0f;
};

struct scenario {
  std::string name;
  module_model module;
  l_chart_design l_chart;
  flat_chart_design flat_chart;
  flat_chart_design verify_chart;
  imaging_model imaging;
  // Extra rotation of the aux camera (degrees) between calibration and
  // verification, applied on the aux side: R_verify = R_extra x R.
  double verify_extra_pitch_deg = 0.0;
  double verify_extra_yaw_deg = 0.0;
  double verify_extra_roll_deg = 0.0;
  thresholds limits;

  double l_chart_distance_mm() const { return l_chart.origin[2]; }
  double flat_chart_distance_mm() const { return flat_chart.origin[2]; }
  double verify_chart_distance_mm() const { return verify_chart.origin[2]; }
};

// Names accepted by make_scenario, in presentation order.
std::vector<std::string> preset_names();

// False (and `out` untouched) for an unknown name.
bool make_scenario(const std::string& name, scenario* out);

// The same scene captured with smaller sensors of proportionally larger
// pixels: the working images (and so every corner position) stay the same.
// main_width becomes the main capture width; the aux keeps its aspect and
// its ratio to the main width.
scenario with_main_width(const scenario& s, int32_t main_width);

// A random module around a scenario, the same for the same variant number:
// aux pitch, yaw and roll uniform in [-max_angle_deg, max_angle_deg] and the
// baseline uniform in [15, 25] mm.
scenario random_module(const scenario& base, uint64_t variant, double max_angle_deg = 2.0);

// Aux rotation in verification.
mat3 verify_aux_rotation(const scenario& s);

}  // namespace zorvel::sim
