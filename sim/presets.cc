// The named scenarios. Chart sizes are worked out for a working focal length
// of about 1000 pixels: 20 mm squares at 450 mm give about 44 pixels of
// vertical pitch at the L chart's fold; 30 mm squares at 800 mm about 38.
#include "sim/presets.h"

#include <cmath>

namespace zorvel::sim {

namespace {

scenario good() {
  scenario s;
  s.name = "good";
  s.module.main.focal_length_mm = 3.75;
  s.module.main.pixel_pitch_mm = 0.0012;
  s.module.main.width = 4000;
  s.module.main.height = 3000;
  s.module.main.f_number = 1.8f;
  s.module.main.fovd_degrees = 78.0f;
  s.module.aux.focal_length_mm = 2.9;
  s.module.aux.pixel_pitch_mm = 0.00112;
  s.module.aux.width = 3264;
  s.module.aux.height = 2448;
  s.module.aux.f_number = 2.2f;
  s.module.aux.fovd_degrees = 77.0f;
  s.module.baseline_mm = 20.0;
  s.module.position_flag = 0;
  s.module.pitch_deg = 0.4;
  s.module.yaw_deg = -0.6;
  s.module.roll_deg = 0.3;

  // L chart: origin (the left half's last corner column) one square left of
  // the fold, which lies on the optical axis.
  const double a = 30.0 * kRadPerDeg;
  s.l_chart.square_mm = 20.0;
  s.l_chart.half_angle_deg = 30.0;
  s.l_chart.row_min = -9;
  s.l_chart.row_max = 10;
  s.l_chart.col_min = -10;
  s.l_chart.col_max = 12;
  s.l_chart.margin_mm = 20.0;
  s.l_chart.origin = {0.0, -20.0 * std::cos(a), 450.0};

  s.flat_chart.square_mm = 30.0;
  s.flat_chart.row_min = -9;
  s.flat_chart.row_max = 10;
  s.flat_chart.col_min = -13;
  s.flat_chart.col_max = 13;
  s.flat_chart.margin_mm = 30.0;
  s.flat_chart.origin = {0.0, 0.0, 800.0};
  s.flat_chart.tilt_yaw_deg = 2.0;
  s.flat_chart.tilt_pitch_deg = -1.5;
  s.flat_chart.tilt_roll_deg = 1.0;

  // Verification: the same chart placed again, slightly differently.
  s.verify_chart = s.flat_chart;
  s.verify_chart.origin = {3.0, -4.0, 800.0};
  s.verify_chart.tilt_yaw_deg = -1.5;
  s.verify_chart.tilt_pitch_deg = 1.0;
  s.verify_chart.tilt_roll_deg = -0.5;

  s.imaging.exposure = 1.0;
  s.imaging.vignetting = 0.2;
  s.imaging.blur_sigma_working = 0.3;
  s.imaging.noise_read = 1.0;
  s.imaging.noise_shot = 0.02;
  return s;
}

// Portrait mounting: the library's view is 960 x 1280, so the boards are
// narrower and the flat chart taller; the L chart keeps its rows so that no
// row slopes by more than about 0.25 in the image.
scenario portrait() {
  scenario s = good();
  s.name = "portrait";
  s.module.rotation_flag = 1;
  s.l_chart.col_min = -7;
  s.l_chart.col_max = 9;
  s.flat_chart.row_min = -12;
  s.flat_chart.row_max = 13;
  s.flat_chart.col_min = -9;
  s.flat_chart.col_max = 9;
  s.verify_chart.row_min = s.flat_chart.row_min;
  s.verify_chart.row_max = s.flat_chart.row_max;
  s.verify_chart.col_min = s.flat_chart.col_min;
  s.verify_chart.col_max = s.flat_chart.col_max;
  return s;
}

void set_lens(camera_model& cam, double c0, double c1, double c2, double c3, float reference) {
  cam.lens.coeff = {c0, c1, c2, c3, 0.0};
  cam.lens.coeff[4] = choose_indicator_coefficient(cam.lens.coeff);
  cam.lens.reference = reference;
}

}  // namespace

std::vector<std::string> preset_names() {
  return {"good", "portrait", "distorted", "mono", "tilted-aux", "dark", "noisy", "blurred", "hard"};
}

bool make_scenario(const std::string& name, scenario* out) {
  scenario s;
  if (name == "good") {
    s = good();
  } else if (name == "portrait") {
    s = portrait();
  } else if (name == "distorted") {
    s = good();
    // Barrel distortion on main, a little pincushion on aux (about 4 % and
    // 2 % at the image corners).
    set_lens(s.module.main, 0.0, -0.04, 0.006, 0.0, 640.0f);
    set_lens(s.module.aux, 0.0, 0.02, -0.002, 0.0, 640.0f);
  } else if (name == "mono") {
    s = good();
    s.module.main.mono = true;
    s.module.aux.mono = true;
  } else if (name == "tilted-aux") {
    s = good();
    // Half a degree of pitch moves aux rows by about 9 pixels.
    s.verify_extra_pitch_deg = 0.5;
  } else if (name == "dark") {
    s = good();
    s.imaging.exposure = 0.22;
  } else if (name == "noisy") {
    s = good();
    s.imaging.noise_read = 6.0;
    s.imaging.noise_shot = 0.4;
  } else if (name == "blurred") {
    s = good();
    s.imaging.blur_sigma_working = 2.5;
  } else if (name == "hard") {
    s = good();
    s.imaging.uneven_light_min = 0.5;
    s.imaging.blur_sigma_working = 1.5;
    s.imaging.noise_read = 3.0;
    s.imaging.noise_shot = 0.1;
  } else {
    return false;
  }
  s.name = name;
  *out = s;
  return true;
}

scenario with_main_width(const scenario& s, int32_t main_width) {
  scenario t = s;
  const double k = static_cast<double>(main_width) / s.module.main.width;
  auto shrink = [k](camera_model& cam) {
    const int32_t w = static_cast<int32_t>(std::lround(cam.width * k));
    // Keep the aspect exactly so the working height does not change.
    const int32_t h = static_cast<int32_t>(std::lround(static_cast<double>(cam.height) * w / cam.width));
    cam.pixel_pitch_mm *= static_cast<double>(cam.width) / w;
    cam.width = w;
    cam.height = h;
  };
  shrink(t.module.main);
  shrink(t.module.aux);
  return t;
}

scenario random_module(const scenario& base, uint64_t variant, double max_angle_deg) {
  // Uniform numbers in [0, 1) from a counter-based hash of the variant.
  auto uniform = [variant](uint64_t k) {
    uint64_t z = variant * 0x9e3779b97f4a7c15ULL + k * 0xd1b54a32d192ed03ULL + 0x632be59bd9b4e019ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
  };
  scenario s = base;
  s.module.pitch_deg = (2.0 * uniform(1) - 1.0) * max_angle_deg;
  s.module.yaw_deg = (2.0 * uniform(2) - 1.0) * max_angle_deg;
  s.module.roll_deg = (2.0 * uniform(3) - 1.0) * max_angle_deg;
  s.module.baseline_mm = 15.0 + 10.0 * uniform(4);
  return s;
}

mat3 verify_aux_rotation(const scenario& s) {
  return multiply(rotation_from_angles_deg(s.verify_extra_pitch_deg, s.verify_extra_yaw_deg,
                                           s.verify_extra_roll_deg),
                  aux_rotation(s.module));
}

}  // namespace zorvel::sim
