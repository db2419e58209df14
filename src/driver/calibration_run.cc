// The calibration run: configuration echo, checks, captures, one of the three
// drivers, then the interim record (L chart only) or the tables and the OTP
// record (flat chart). The echo prints the normalised configuration texts;
// files are opened, and named in every message, by their paths as written.
#include "driver/calibration_run.h"

#include <array>
#include <cstdio>
#include <exception>

#include "calib/drivers.h"
#include "driver/calibration_records.h"
#include "driver/calibration_setup.h"
#include "driver/capture_loading.h"
#include "driver/config_dump.h"
#include "driver/report_tables.h"
#include "image/bmp.h"
#include "otp/otp_record.h"

namespace zorvel {
namespace {

constexpr const char* kSeparator = "===========================\n";
constexpr int kLAndFlat = 0;
constexpr int kLOnly = 1;
constexpr int kFlatOnly = 2;

// The four captures, opened whatever charts are used, closed with the run.
struct calibration_captures {
  zorvel_bmp_read main_l, aux_l, main_flat, aux_flat;
  zorvel_capture_pair l, flat;

  explicit calibration_captures(const zorvel_calib_config& config)
      : main_l(config.main.calib_l_chart_image_path),
        aux_l(config.aux.calib_l_chart_image_path),
        main_flat(config.main.calib_flat_chart_image_path),
        aux_flat(config.aux.calib_flat_chart_image_path) {}
};

void set_sizes(zorvel_capture_pair& pair, const zorvel_calib_context& c) {
  pair.main_width = c.main_width;
  pair.main_height = c.main_height;
  pair.aux_width = c.aux_width;
  pair.aux_height = c.aux_height;
}

bool load_into(zorvel_bmp_read& reader, const char* label, const std::string& shown, bool swap,
               const char* direction, const uint8_t** r, const uint8_t** g, const uint8_t** b) {
  capture_planes planes;
  if (!load_capture(reader, label, shown, swap, direction, planes)) return false;
  *r = planes.r;
  *g = planes.g;
  *b = planes.b;
  return true;
}

bool load_l_chart(calibration_captures& cap, const zorvel_calib_config& config, bool swap,
                  const char* direction) {
  zorvel_capture_pair& p = cap.l;
  return load_into(cap.main_l, "main L", config.main.calib_l_chart_image_path, swap, direction,
                   &p.main_r, &p.main_g, &p.main_b) &&
         load_into(cap.aux_l, "aux L", config.aux.calib_l_chart_image_path, swap, direction,
                   &p.aux_r, &p.aux_g, &p.aux_b) &&
         check_capture_size(cap.main_l, config.main.calib_l_chart_image_path,
                            config.main.calib_input_width, config.main.calib_input_height) &&
         check_capture_size(cap.aux_l, config.aux.calib_l_chart_image_path,
                            config.aux.calib_input_width, config.aux.calib_input_height);
}

bool load_flat_chart(calibration_captures& cap, const zorvel_calib_config& config, bool swap,
                     const char* direction) {
  zorvel_capture_pair& p = cap.flat;
  return load_into(cap.main_flat, "main Flat", config.main.calib_flat_chart_image_path, swap,
                   direction, &p.main_r, &p.main_g, &p.main_b) &&
         load_into(cap.aux_flat, "aux Flat", config.aux.calib_flat_chart_image_path, swap,
                   direction, &p.aux_r, &p.aux_g, &p.aux_b) &&
         check_capture_size(cap.main_flat, config.main.calib_flat_chart_image_path,
                            config.main.calib_input_width, config.main.calib_input_height) &&
         check_capture_size(cap.aux_flat, config.aux.calib_flat_chart_image_path,
                            config.aux.calib_input_width, config.aux.calib_input_height);
}

// The working records the drivers fill and release.
struct driver_records {
  zorvel_chart_pair l_pair, l_rect_pair, flat_pair, flat_work_pair, l_scratch, flat_scratch;
  std::array<zorvel_key_points, 2> stored_points;
};

// Runs one driver; an exception that escapes it counts as its failure.
template <typename Driver>
int32_t run_driver(Driver&& driver) {
  try {
    return driver();
  } catch (const std::exception&) {
    return -1;
  }
}

// Step 16: the driver of the configured chart combination.
bool run_chart_driver(const zorvel_calib_config& config, calibration_captures& cap,
                      zorvel_calib_context& c) {
  driver_records w;
  switch (config.process_l_and_flat_config) {
    case kLAndFlat:
      if (run_driver([&] {
            return calibrate_l_and_flat(cap.l, cap.flat, c, w.l_pair, w.l_rect_pair, w.flat_pair,
                                        w.flat_work_pair, w.l_scratch, w.flat_scratch);
          }) != 0) {
        std::printf("\nError in FULL L + Flat calibration\n\n");
        return false;
      }
      return true;
    case kLOnly:
      if (run_driver([&] {
            return calibrate_l_only(cap.l, c, w.l_pair, w.l_rect_pair, w.l_scratch);
          }) != 0) {
        std::printf("\nError in L Chart calibration\n\n");
        return false;
      }
      return true;
    case kFlatOnly: {
      zorvel_otp_interim_data interim{};
      if (read_interim_data(config.calib_otp_interim_data_file_path, interim) != 1) {
        std::printf("Error parsing OTP file %s ...\n\n",
                    config.calib_otp_interim_data_file_path.c_str());
        return false;
      }
      for (int i = 0; i < 5; ++i) c.dewarp_coeff_aux[i] = interim.aux_dewarp_coeff[i];
      c.fl_dewarping_reference_aux = interim.aux_fl_dewarping_reference;
      if (run_driver([&] {
            return calibrate_flat_only(cap.flat, c, w.flat_pair, w.flat_work_pair, w.flat_scratch,
                                       w.stored_points, interim);
          }) != 0) {
        std::printf("\nError in Flat Calibration\n\n");
        return false;
      }
      c.l_chart_distance_error_percent = interim.l_distance_error_percent;
      return true;
    }
    default:
      std::printf("\n In-correct Case, returning");
      return false;
  }
}

void print_angles(const zorvel_calib_context& c) {
  std::printf("relative_pitch_degrees=%f\n", c.relative_pitch_degrees);
  std::printf("relative_yaw_degrees=%f\n", c.relative_yaw_degrees);
  std::printf("relative_roll_degrees=%f\n", c.relative_roll_degrees);
  std::fputs(kSeparator, stdout);
}

// Step 17: the interim record is written whatever the table says.
int32_t finish_l_only(const zorvel_calib_config& config, const zorvel_calib_context& c) {
  const zorvel_otp_interim_data record = build_interim_record(config, c);
  std::fputs(kSeparator, stdout);
  const bool any_fail = print_l_chart_table(stdout, c, config);
  std::printf("Calibration TEMP output ...\n\n");
  std::printf("Writing calibration OTP data to %s ...\n\n",
              config.calib_otp_interim_data_file_path.c_str());
  if (write_interim_data(config.calib_otp_interim_data_file_path, record) != 1) {
    std::printf("Error writing OTP file %s ...\n\n",
                config.calib_otp_interim_data_file_path.c_str());
    return 0;
  }
  print_angles(c);
  return any_fail ? 0 : 1;
}

// Step 18: tables, then the OTP record only when every row passed.
int32_t finish_with_flat(const zorvel_calib_config& config, const zorvel_calib_context& c) {
  const zorvel_otp_data record = build_otp_record(config, c, stdout);
  std::printf("\n ==== Debug Info ===== \n");
  std::printf("\n Computed Mean Disparity @ distance %fmm is %f",
              static_cast<double>(c.flat_chart_distance_mm),
              static_cast<double>(c.computed_mean_disparity));
  std::printf("\n Reference Disparity @ distance %fmm is %f",
              static_cast<double>(c.flat_chart_distance_mm),
              static_cast<double>(c.reference_disparity));
  std::printf("\n ===== \n");
  print_reference_metrics(stdout, record);
  const bool any_fail = print_calibration_table(stdout, c, config);
  std::printf("\n");
  std::fputs(kSeparator, stdout);
  std::printf("Calibration output ...\n\n");
  if (!any_fail) {
    std::printf("Writing calibration OTP data to %s ...\n\n",
                config.calib_otp_data_file_path.c_str());
    if (write_otp_data(config.calib_otp_data_file_path, record) != 1) {
      std::printf("Error writing OTP file %s ...\n\n", config.calib_otp_data_file_path.c_str());
      return 0;
    }
  }
  print_angles(c);
  return any_fail ? 0 : 1;
}

}  // namespace

int32_t run_calibration(const zorvel_calib_config& config, const char* config_path,
                        uint8_t mode) {
  // 1.
  std::fputs(kSeparator, stdout);
  std::printf("Parsed calibration config file %s ...\n\n", config_path);
  dump_calib_config(stdout, config);

  // 2.-12.
  zorvel_calib_context context{};
  if (!prepare_calibration_context(config, context)) return 0;

  // 13.-15.
  const bool swap = context.swap_dimensions != 0;
  const char* direction = rotation_direction(config.main_aux_rotation_flag);
  calibration_captures captures(config);
  set_sizes(captures.l, context);
  set_sizes(captures.flat, context);
  switch (config.process_l_and_flat_config) {
    case kLAndFlat:
      std::printf("\n Reading L and Flat");
      if (!load_l_chart(captures, config, swap, direction) ||
          !load_flat_chart(captures, config, swap, direction)) {
        return 0;
      }
      break;
    case kLOnly:
      std::printf("\n Reading L ONLY");
      if (!load_l_chart(captures, config, swap, direction)) return 0;
      break;
    case kFlatOnly:
      std::printf("\n Reading Flat ONLY");
      if (!load_flat_chart(captures, config, swap, direction)) return 0;
      break;
    default:
      std::printf("\n In valid Case");
      break;
  }

  // 16.
  context.run_mode = mode;
  if (!run_chart_driver(config, captures, context)) return 0;

  // 17. / 18.
  if (config.process_l_and_flat_config == kLOnly) return finish_l_only(config, context);
  return finish_with_flat(config, context);
}

}  // namespace zorvel
