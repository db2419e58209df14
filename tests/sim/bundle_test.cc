// The output directory: configurations with every key the parsers require,
// ratios that pass the autofocus checks, and captures that the library's own
// loader turns into the scene the truth describes.
#include "sim/bundle.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "image/bmp.h"
#include "sim/presets.h"
#include "support/test_support.h"

namespace zorvel::sim {
namespace {

std::map<std::string, std::string> parse_kv(const std::string& text) {
  std::map<std::string, std::string> kv;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return kv;
}

std::vector<std::string> calibration_keys() {
  std::vector<std::string> keys;
  for (const std::string cam : {"main", "aux"}) {
    for (const char* k : {"native_width", "native_height", "f_number", "fovd_degrees", "pixel_pitch_mm",
                          "focal_length_mm"})
      keys.push_back(cam + "_" + k);
    keys.push_back("is_af_enabled_" + cam);
    for (const char* k : {"focal_length_ratio_l", "focal_length_ratio_flat", "fl_ratio_tolerance_in_percent_l",
                          "fl_ratio_tolerance_in_percent_flat", "sensor_calib_mirror_flip_setting",
                          "sensor_mono_flag", "calib_input_width", "calib_input_height",
                          "calib_l_chart_image", "calib_flat_chart_image"})
      keys.push_back(cam + "_" + k);
    for (const char* k : {"dewarp_coeff_", "warp_coeff_", "distortion_adj_fl_ratio_", "distortion_scale_adj_"})
      for (int i = 0; i < 5; ++i) keys.push_back(k + cam + "_" + std::to_string(i));
    keys.push_back("fl_dewarping_reference_" + cam);
  }
  for (const char* k : {"calib_square_size_mm", "cam_baseline_mm", "main_aux_position_flag",
                        "main_aux_sensor_calib_orientation_flag", "main_aux_rotation_flag",
                        "l_chart_distance_mm", "flat_chart_distance_mm", "calib_otp_data_file",
                        "residual_vertical_disparity_threshold_pixels", "scale_difference_threshold_percent",
                        "l_chart_origin_distance_threshold_percent", "flat_chart_standard_dev_threshold",
                        "percentage_fov_for_metric_calculation", "percentile_for_variation_in_disparity",
                        "vertical_disparity_max_threshold", "horizontal_disparity_max_threshold"})
    keys.push_back(k);
  return keys;
}

TEST(Bundle, ConfigurationsHoldEveryKeyAndConsistentRatios) {
  scenario s;
  ASSERT_TRUE(make_scenario("portrait", &s));
  bundle_files f;
  f.dir = "/tmp/x";
  const auto keys = calibration_keys();
  ASSERT_EQ(keys.size(), 92u);
  for (int32_t process = 0; process <= 2; ++process) {
    const auto kv = parse_kv(calibration_config_text(s, f, process));
    for (const auto& k : keys) EXPECT_TRUE(kv.count(k)) << k;
    EXPECT_EQ(kv.at("process_l_and_flat_config"), std::to_string(process));
    EXPECT_EQ(kv.at("calib_otp_interim_data_file"), "/tmp/x/calibration_interim.otp");
    EXPECT_EQ(kv.at("main_aux_rotation_flag"), "1");
    // Configured sizes are the file's, unturned.
    EXPECT_EQ(kv.at("main_calib_input_width"), "4000");
    const double ratio = std::stod(kv.at("aux_focal_length_ratio_l"));
    EXPECT_NEAR(ratio, focus_ratio(s.l_chart_distance_mm(), s.module.aux.focal_length_mm), 1e-8);
  }
  const auto v = parse_kv(verification_config_text(s, f));
  for (const char* k : {"main_verify_input_width", "aux_verify_flat_chart_image", "main_verify_focal_length_ratio",
                        "main_aux_sensor_verif_orientation_flag", "flat_chart_distance_threshold_percent",
                        "horizontal_disparity_max_threshold", "calib_otp_data_file"})
    EXPECT_TRUE(v.count(k)) << k;
  EXPECT_EQ(v.size(), 35u);
  EXPECT_NEAR(std::stod(v.at("main_verify_focal_length_ratio")),
              focus_ratio(s.verify_chart_distance_mm(), s.module.main.focal_length_mm), 1e-8);
}

TEST(Bundle, WrittenCapturesLoadAsTheRenderedScene) {
  test::scratch_dir dir;
  scenario s;
  ASSERT_TRUE(make_scenario("portrait", &s));
  s = with_main_width(s, 320);
  const std::string out = dir.file("bundle");
  ASSERT_EQ(write_bundle(s, 9, out), "");
  for (const char* name : {"calibration.cfg", "calibration_l_only.cfg", "calibration_flat_only.cfg",
                           "verification.cfg", "truth.json", "aux_verify.bmp"})
    EXPECT_FALSE(test::read_file(out + "/" + name).empty()) << name;

  // The library's loader and quarter turn give the scene the renderer drew.
  zorvel_bmp_read reader(out + "/main_flat.bmp");
  ASSERT_EQ(reader.parse(), 1);
  uint32_t w = 0, h = 0;
  reader.get_size(&w, &h);
  EXPECT_EQ(w, static_cast<uint32_t>(s.module.main.width));
  EXPECT_EQ(h, static_cast<uint32_t>(s.module.main.height));
  ASSERT_EQ(reader.rotate("right"), 1);
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  ASSERT_EQ(reader.get_planes(&r, &g, &b), 1);
  const capture_image file = render_capture(make_charts(s).flat_chart, make_views(s).main_flat, s.imaging,
                                            1, 9, static_cast<uint64_t>(capture_stream::main_flat));
  const capture_image scene = turn_like_library(file, 1);
  ASSERT_EQ(scene.g.size(), static_cast<size_t>(w) * h);
  EXPECT_TRUE(std::equal(scene.g.begin(), scene.g.end(), g));
  EXPECT_TRUE(std::equal(scene.r.begin(), scene.r.end(), r));

  const std::string truth = test::read_file(out + "/truth.json");
  EXPECT_NE(truth.find("\"preset\": \"portrait\""), std::string::npos);
  EXPECT_NE(truth.find("\"rot\": ["), std::string::npos);
}

}  // namespace
}  // namespace zorvel::sim
