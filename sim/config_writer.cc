// Configuration files and truth.json. The focal-length ratios are the thin-
// lens ratios of the chart distances, so the autofocus checks pass.
#include "sim/config_writer.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace zorvel::sim {

namespace {

std::string num(double v, int digits = 9) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", digits, v);
  return buf;
}

struct kv_writer {
  std::ostringstream out;
  void put(const std::string& key, const std::string& value) { out << key << "=" << value << "\n"; }
  void put(const std::string& key, double value, int digits = 9) { put(key, num(value, digits)); }
  // Single-precision settings print with the digits a float holds.
  void put(const std::string& key, float value) { put(key, num(static_cast<double>(value), 7)); }
  void put_int(const std::string& key, long long value) { put(key, std::to_string(value)); }
};

void camera_block(kv_writer& w, const scenario& s, const camera_model& cam, const std::string& name,
                  const std::string& l_image, const std::string& flat_image) {
  const double ratio_l = focus_ratio(s.l_chart_distance_mm(), cam.focal_length_mm);
  const double ratio_flat = focus_ratio(s.flat_chart_distance_mm(), cam.focal_length_mm);
  w.put_int(name + "_native_width", cam.width);
  w.put_int(name + "_native_height", cam.height);
  w.put(name + "_f_number", cam.f_number);
  w.put(name + "_fovd_degrees", cam.fovd_degrees);
  w.put(name + "_pixel_pitch_mm", cam.pixel_pitch_mm);
  w.put(name + "_focal_length_mm", cam.focal_length_mm);
  w.put_int("is_af_enabled_" + name, 1);
  w.put(name + "_focal_length_ratio_l", ratio_l);
  w.put(name + "_focal_length_ratio_flat", ratio_flat);
  w.put(name + "_fl_ratio_tolerance_in_percent_l", s.limits.fl_ratio_tolerance_percent);
  w.put(name + "_fl_ratio_tolerance_in_percent_flat", s.limits.fl_ratio_tolerance_percent);
  w.put_int(name + "_sensor_calib_mirror_flip_setting", 0);
  w.put_int(name + "_sensor_mono_flag", cam.mono ? 1 : 0);
  w.put_int(name + "_calib_input_width", cam.width);
  w.put_int(name + "_calib_input_height", cam.height);
  w.put(name + "_calib_l_chart_image", l_image);
  w.put(name + "_calib_flat_chart_image", flat_image);
  for (int i = 0; i < 5; ++i) w.put("dewarp_coeff_" + name + "_" + std::to_string(i), cam.lens.coeff[i], 17);
  // Verification puts the main camera's distortion back onto the rectified
  // aux image with these, normalised by the reference times the ratio at the
  // verification distance.
  const camera_view v = make_view(cam, s.module.rotation_flag, s.verify_chart_distance_mm(), identity3(), {0, 0, 0});
  const double warp_reference =
      static_cast<double>(cam.lens.reference) *
      static_cast<double>(static_cast<float>(focus_ratio(s.verify_chart_distance_mm(), cam.focal_length_mm)));
  const auto warp = fit_warp_coefficients(cam.lens, warp_reference,
                                          1.05 * std::hypot(0.5 * v.working_width, 0.5 * v.working_height));
  for (int i = 0; i < 5; ++i) w.put("warp_coeff_" + name + "_" + std::to_string(i), warp[i], 17);
  w.put("fl_dewarping_reference_" + name, cam.lens.reference);
  for (int i = 0; i < 5; ++i) w.put("distortion_adj_fl_ratio_" + name + "_" + std::to_string(i), 1.0);
  for (int i = 0; i < 5; ++i) w.put("distortion_scale_adj_" + name + "_" + std::to_string(i), 1.0);
}

}  // namespace

std::string calibration_config_text(const scenario& s, const bundle_files& f, int32_t process) {
  kv_writer w;
  const module_model& m = s.module;
  camera_block(w, s, m.main, "main", f.path(f.main_l), f.path(f.main_flat));
  camera_block(w, s, m.aux, "aux", f.path(f.aux_l), f.path(f.aux_flat));
  w.put("calib_square_size_mm", s.l_chart.square_mm);
  w.put("cam_baseline_mm", m.baseline_mm);
  w.put_int("main_aux_position_flag", m.position_flag);
  w.put_int("main_aux_sensor_calib_orientation_flag", 0);
  w.put_int("main_aux_rotation_flag", m.rotation_flag);
  w.put("l_chart_distance_mm", s.l_chart_distance_mm());
  w.put("flat_chart_distance_mm", s.flat_chart_distance_mm());
  w.put("calib_otp_data_file", f.path(f.otp));
  w.put("residual_vertical_disparity_threshold_pixels", s.limits.residual_vd_pixels);
  w.put("scale_difference_threshold_percent", s.limits.scale_difference_percent);
  w.put("l_chart_origin_distance_threshold_percent", s.limits.l_origin_distance_percent);
  w.put("flat_chart_standard_dev_threshold", s.limits.flat_hd_stdev);
  w.put_int("percentage_fov_for_metric_calculation", s.limits.fov_percent);
  w.put_int("percentile_for_variation_in_disparity", s.limits.percentile);
  w.put("vertical_disparity_max_threshold", s.limits.vd_max);
  w.put("horizontal_disparity_max_threshold", s.limits.hd_max);
  w.put_int("process_l_and_flat_config", process);
  w.put("calib_otp_interim_data_file", f.path(f.interim));
  w.put_int("crop_percent_for_aux", 0);
  w.put_int("fov_used_for_computation", 40);
  w.put("max_hd_variation_allowed", 1.0);
  w.put("max_vd_variation_allowed", 1.0);
  return w.out.str();
}

std::string verification_config_text(const scenario& s, const bundle_files& f) {
  kv_writer w;
  const module_model& m = s.module;
  const double d = s.verify_chart_distance_mm();
  auto block = [&](const camera_model& cam, const std::string& name, const std::string& image) {
    w.put_int(name + "_verify_input_width", cam.width);
    w.put_int(name + "_verify_input_height", cam.height);
    w.put(name + "_verify_flat_chart_image", image);
    w.put_int("is_af_enabled_" + name, 1);
    w.put(name + "_verify_focal_length_ratio", focus_ratio(d, cam.focal_length_mm));
    w.put(name + "_focal_length_ratio_tolerance_in_percent", s.limits.fl_ratio_tolerance_percent);
    w.put(name + "_f_number", cam.f_number);
    w.put(name + "_pixel_pitch_mm", cam.pixel_pitch_mm);
    w.put(name + "_focal_length_mm", cam.focal_length_mm);
    w.put_int(name + "_sensor_verif_mirror_flip_setting", 0);
    w.put_int(name + "_sensor_mono_flag", cam.mono ? 1 : 0);
  };
  block(m.main, "main", f.path(f.main_verify));
  block(m.aux, "aux", f.path(f.aux_verify));
  w.put_int("main_aux_position_flag", m.position_flag);
  w.put_int("main_aux_sensor_verif_orientation_flag", 0);
  w.put_int("main_aux_rotation_flag", m.rotation_flag);
  w.put("flat_chart_distance_mm", d);
  w.put("calib_otp_data_file", f.path(f.otp));
  w.put("residual_vertical_disparity_threshold_pixels", s.limits.residual_vd_pixels);
  w.put("scale_difference_threshold_percent", s.limits.scale_difference_percent);
  w.put("flat_chart_distance_threshold_percent", s.limits.flat_distance_percent);
  w.put("flat_chart_standard_dev_threshold", s.limits.flat_hd_stdev);
  w.put_int("percentage_fov_for_metric_calculation", s.limits.fov_percent);
  w.put_int("percentile_for_variation_in_disparity", s.limits.percentile);
  w.put("vertical_disparity_max_threshold", s.limits.vd_max);
  w.put("horizontal_disparity_max_threshold", s.limits.hd_max);
  return w.out.str();
}

namespace {

// A folder name may hold quotes, backslashes or control bytes.
std::string json_string(const std::string& text) {
  std::string s = "\"";
  for (unsigned char ch : text) {
    if (ch == '"' || ch == '\\') {
      s += '\\';
      s += static_cast<char>(ch);
    } else if (ch < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", ch);
      s += buf;
    } else {
      s += static_cast<char>(ch);
    }
  }
  return s + "\"";
}

std::string json_array(const double* v, int n) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) s += (i ? ", " : "") + num(v[i], 17);
  return s + "]";
}

std::string camera_json(const camera_model& cam, const camera_view& l, const camera_view& flat,
                        const camera_view& verify) {
  std::ostringstream o;
  o << "{\"focal_length_mm\": " << num(cam.focal_length_mm, 17)
    << ", \"pixel_pitch_mm\": " << num(cam.pixel_pitch_mm, 17) << ", \"width\": " << cam.width
    << ", \"height\": " << cam.height << ", \"mono\": " << (cam.mono ? "true" : "false")
    << ", \"dewarp_coeff\": " << json_array(cam.lens.coeff.data(), 5)
    << ", \"fl_dewarping_reference\": " << num(static_cast<double>(cam.lens.reference), 9)
    << ", \"working_width\": " << l.working_width << ", \"working_height\": " << l.working_height
    << ", \"focal_working_px_l\": " << num(l.focal_working, 17)
    << ", \"focal_working_px_flat\": " << num(flat.focal_working, 17)
    << ", \"focal_working_px_verify\": " << num(verify.focal_working, 17) << "}";
  return o.str();
}

std::string rotation_json(const mat3& r) {
  const angles_deg a = angles_from_rotation(r);
  const angles_deg lib = library_angles_from_rotation(r);
  std::ostringstream o;
  o << "{\"rot\": " << json_array(r.data(), 9) << ", \"pitch_deg\": " << num(a.pitch, 17)
    << ", \"yaw_deg\": " << num(a.yaw, 17) << ", \"roll_deg\": " << num(a.roll, 17)
    << ", \"printed_pitch_deg\": " << num(lib.pitch, 17) << ", \"printed_yaw_deg\": " << num(lib.yaw, 17)
    << ", \"printed_roll_deg\": " << num(lib.roll, 17) << "}";
  return o.str();
}

std::string corners_json(const std::vector<corner_truth>& cs) {
  std::ostringstream o;
  o << "[";
  for (size_t i = 0; i < cs.size(); ++i) {
    const corner_truth& c = cs[i];
    o << (i ? ",\n      " : "\n      ") << "{\"Yw\": " << c.yw << ", \"Xw\": " << c.xw << ", \"Zw\": " << c.zw
      << ", \"labelled\": " << (c.labelled ? "true" : "false") << ", \"main\": [" << num(c.main_row, 10)
      << ", " << num(c.main_col, 10) << "], \"aux\": [" << num(c.aux_row, 10) << ", "
      << num(c.aux_col, 10) << "], \"main_reach\": \"" << reach_name(c.main_reach)
      << "\", \"aux_reach\": \"" << reach_name(c.aux_reach) << "\", \"world_mm\": ["
      << num(c.world[0], 10) << ", " << num(c.world[1], 10) << ", " << num(c.world[2], 10) << "]}";
  }
  o << "\n    ]";
  return o.str();
}

}  // namespace

std::string truth_json_text(const scenario& s, uint64_t noise_key, const bundle_files& f,
                            const truth_charts& charts) {
  const module_model& m = s.module;
  const double dl = s.l_chart_distance_mm(), df = s.flat_chart_distance_mm(),
               dv = s.verify_chart_distance_mm();
  const mat3 rv = verify_aux_rotation(s);
  std::ostringstream o;
  o << "{\n  \"preset\": \"" << s.name << "\",\n  \"noise_key\": " << noise_key << ",\n";
  o << "  \"directory\": " << json_string(f.dir) << ",\n";
  o << "  \"main\": "
    << camera_json(m.main, main_view(m, dl), main_view(m, df), main_view(m, dv)) << ",\n";
  o << "  \"aux\": "
    << camera_json(m.aux, aux_view(m, dl), aux_view(m, df), aux_view(m, dv)) << ",\n";
  o << "  \"baseline_mm\": " << num(m.baseline_mm, 17) << ",\n  \"position_flag\": " << m.position_flag
    << ",\n  \"rotation_flag\": " << m.rotation_flag << ",\n";
  o << "  \"rotation\": " << rotation_json(aux_rotation(m)) << ",\n";
  o << "  \"verification_rotation\": " << rotation_json(rv) << ",\n";
  o << "  \"focal_length_ratio\": {\"main_l\": " << num(focus_ratio(dl, m.main.focal_length_mm), 17)
    << ", \"main_flat\": " << num(focus_ratio(df, m.main.focal_length_mm), 17)
    << ", \"aux_l\": " << num(focus_ratio(dl, m.aux.focal_length_mm), 17)
    << ", \"aux_flat\": " << num(focus_ratio(df, m.aux.focal_length_mm), 17)
    << ", \"main_verify\": " << num(focus_ratio(dv, m.main.focal_length_mm), 17)
    << ", \"aux_verify\": " << num(focus_ratio(dv, m.aux.focal_length_mm), 17) << "},\n";
  o << "  \"imaging\": {\"exposure\": " << num(s.imaging.exposure) << ", \"vignetting\": "
    << num(s.imaging.vignetting) << ", \"uneven_light_min\": " << num(s.imaging.uneven_light_min)
    << ", \"blur_sigma_working_px\": " << num(s.imaging.blur_sigma_working)
    << ", \"noise_read\": " << num(s.imaging.noise_read) << ", \"noise_shot\": "
    << num(s.imaging.noise_shot) << ", \"supersample\": " << s.imaging.supersample << "},\n";
  o << "  \"l_chart\": {\"distance_mm\": " << num(dl, 17) << ", \"square_mm\": " << num(s.l_chart.square_mm)
    << ", \"half_angle_deg\": " << num(s.l_chart.half_angle_deg) << ", \"corners\": "
    << corners_json(charts.l_chart) << "},\n";
  o << "  \"flat_chart\": {\"distance_mm\": " << num(df, 17) << ", \"square_mm\": "
    << num(s.flat_chart.square_mm) << ", \"corners\": " << corners_json(charts.flat_chart) << "},\n";
  o << "  \"verification_chart\": {\"distance_mm\": " << num(dv, 17) << ", \"square_mm\": "
    << num(s.verify_chart.square_mm) << ", \"corners\": " << corners_json(charts.verify_chart)
    << "}\n}\n";
  return o.str();
}

}  // namespace zorvel::sim
