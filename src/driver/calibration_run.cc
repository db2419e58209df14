// The calibration run: configuration echo, checks, captures, one of the three
// drivers, then the interim record (L chart only) or the tables and the OTP
// record (flat chart). The echo prints the normalised configuration texts;
// files are opened, and named in every message, by their paths as written.
#include "driver/calibration_run.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

#include "common/run_messages.h"
#include "calib/drivers.h"
#include "driver/calibration_records.h"
#include "driver/calibration_setup.h"
#include "driver/capture_loading.h"
#include "driver/config_dump.h"
#include "driver/report_tables.h"
#include "driver/run_collect.h"
#include "image/bmp.h"
#include "otp/otp_codec.h"
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
  std::vector<uint8_t> scratch;  // rows read, shared by the four captures

  explicit calibration_captures(const zorvel_calib_config& config)
      : main_l(config.main.calib_l_chart_image_path),
        aux_l(config.aux.calib_l_chart_image_path),
        main_flat(config.main.calib_flat_chart_image_path),
        aux_flat(config.aux.calib_flat_chart_image_path) {}
};

void set_sizes(zorvel_capture_pair& pair, const zorvel_calibration_setup& setup) {
  pair.main_width = setup.main.width;
  pair.main_height = setup.main.height;
  pair.aux_width = setup.aux.width;
  pair.aux_height = setup.aux.height;
}

bool load_into(zorvel_bmp_read& reader, const char* label, const std::string& shown, bool swap,
               const char* direction, std::vector<uint8_t>& scratch, const uint8_t** r,
               const uint8_t** g, const uint8_t** b, bool* sampled) {
  capture_planes planes;
  if (!load_capture(reader, label, shown, swap, direction, scratch, planes)) {
    note_failure(std::string("cannot read the ") + label + " capture " + shown);
    return false;
  }
  *r = planes.r;
  *g = planes.g;
  *b = planes.b;
  *sampled = planes.sampled;
  return true;
}

// check_capture_size, and the result's message when it fails.
bool size_matches(const zorvel_bmp_read& reader, const std::string& shown, int32_t width,
                  int32_t height) {
  if (check_capture_size(reader, shown, width, height)) return true;
  note_failure("capture " + shown + " is not of the configured size");
  return false;
}

bool load_l_chart(calibration_captures& cap, const zorvel_calib_config& config, bool swap,
                  const char* direction) {
  zorvel_capture_pair& p = cap.l;
  return load_into(cap.main_l, "main L", config.main.calib_l_chart_image_path, swap, direction,
                   cap.scratch, &p.main_r, &p.main_g, &p.main_b, &p.sampled) &&
         load_into(cap.aux_l, "aux L", config.aux.calib_l_chart_image_path, swap, direction,
                   cap.scratch, &p.aux_r, &p.aux_g, &p.aux_b, &p.sampled) &&
         size_matches(cap.main_l, config.main.calib_l_chart_image_path,
                            config.main.calib_input_width, config.main.calib_input_height) &&
         size_matches(cap.aux_l, config.aux.calib_l_chart_image_path,
                            config.aux.calib_input_width, config.aux.calib_input_height);
}

bool load_flat_chart(calibration_captures& cap, const zorvel_calib_config& config, bool swap,
                     const char* direction) {
  zorvel_capture_pair& p = cap.flat;
  return load_into(cap.main_flat, "main Flat", config.main.calib_flat_chart_image_path, swap,
                   direction, cap.scratch, &p.main_r, &p.main_g, &p.main_b, &p.sampled) &&
         load_into(cap.aux_flat, "aux Flat", config.aux.calib_flat_chart_image_path, swap,
                   direction, cap.scratch, &p.aux_r, &p.aux_g, &p.aux_b, &p.sampled) &&
         size_matches(cap.main_flat, config.main.calib_flat_chart_image_path,
                            config.main.calib_input_width, config.main.calib_input_height) &&
         size_matches(cap.aux_flat, config.aux.calib_flat_chart_image_path,
                            config.aux.calib_input_width, config.aux.calib_input_height);
}

// Runs one calibration; an exception from the numerics or an allocation
// counts as its failure.
template <typename Calibration>
bool run_guarded(Calibration&& calibration) {
  try {
    return calibration();
  } catch (const std::exception&) {
    return false;
  }
}

// The earlier L-only calibration as its interim record stores it. Its aux
// lens model replaces the configured one for the dewarp and the new record.
zorvel_l_chart_calibration restore_l_chart(const zorvel_otp_interim_data& interim,
                                           zorvel_calibration_setup& setup) {
  for (int i = 0; i < 5; ++i) setup.working.aux_lens.dewarp_coeff[i] = interim.aux_dewarp_coeff[i];
  setup.working.aux_lens.fl_dewarping_reference = interim.aux_fl_dewarping_reference;

  zorvel_l_chart_calibration earlier;
  earlier.model.main_focal_px = interim.main_focal_length_px;
  earlier.model.aux_focal_px = interim.aux_focal_length_px;
  for (int32_t j = 0; j < 9; ++j) earlier.model.rot[j] = static_cast<double>(interim.rot[j]);
  earlier.model.projection_offset_x = interim.projection_offset_x;
  earlier.model.projection_offset_y = interim.projection_offset_y;
  earlier.l_distance_error_percent = interim.l_distance_error_percent;
  // The record holds at most 200 points, whatever its count says.
  const int32_t k = static_cast<int32_t>(
      std::min<uint32_t>(interim.l_chart_point_count, kMaxStoredLChartPoints));
  earlier.point_count = k;
  earlier.main_points = zorvel_key_points(kRestoredPointCapacity, false);
  earlier.aux_points = zorvel_key_points(kRestoredPointCapacity, false);
  zorvel_key_points& m = earlier.main_points;
  zorvel_key_points& a = earlier.aux_points;
  for (int32_t i = 0; i < k; ++i) {
    m.y[i] = interim.main_l_point_y[i];
    m.x[i] = interim.main_l_point_x[i];
    m.Yw[i] = interim.main_l_label_yw[i];
    m.Xw[i] = interim.main_l_label_xw[i];
    a.y[i] = interim.aux_l_point_y[i];
    a.x[i] = interim.aux_l_point_x[i];
    a.Yw[i] = interim.aux_l_label_yw[i];
    a.Xw[i] = interim.aux_l_label_xw[i];
  }
  return earlier;
}

// The calibration of the configured chart combination.
bool run_chart_calibration(const zorvel_calib_config& config, const calibration_captures& cap,
                           zorvel_calibration_setup& setup, zorvel_calibration_result& result,
                           zorvel_run_result& rr) {
  switch (config.process_l_and_flat_config) {
    case kLAndFlat:
      if (!run_guarded([&] { return calibrate_l_and_flat(cap.l, cap.flat, setup, result); })) {
        report_failure("\nError in FULL L + Flat calibration\n\n");
        end_run(rr, zorvel_run_status::failed, "calibration", "L + flat calibration failed");
        return false;
      }
      return true;
    case kLOnly:
      if (!run_guarded([&] { return calibrate_l_only(cap.l, setup, result); })) {
        report_failure("\nError in L Chart calibration\n\n");
        end_run(rr, zorvel_run_status::failed, "calibration", "L-chart calibration failed");
        return false;
      }
      return true;
    case kFlatOnly: {
      zorvel_otp_interim_data interim{};
      if (read_interim_data(config.calib_otp_interim_data_file_path, interim) != 1) {
        report_failure("Error parsing OTP file %s ...\n\n",
                    config.calib_otp_interim_data_file_path.c_str());
        end_run(rr, zorvel_run_status::not_tested, "record", "interim record unreadable");
        return false;
      }
      if (!run_guarded([&] {
            return calibrate_flat_only(cap.flat, setup, restore_l_chart(interim, setup), result);
          })) {
        report_failure("\nError in Flat Calibration\n\n");
        end_run(rr, zorvel_run_status::failed, "calibration", "flat-chart calibration failed");
        return false;
      }
      return true;
    }
    default:
      report_failure("\n In-correct Case, returning");
      end_run(rr, zorvel_run_status::not_tested, "configuration",
              "process_l_and_flat_config names no chart combination");
      return false;
  }
}

void print_angles(const zorvel_relative_angles& a) {
  std::printf("relative_pitch_degrees=%f\n", a.pitch_deg);
  std::printf("relative_yaw_degrees=%f\n", a.yaw_deg);
  std::printf("relative_roll_degrees=%f\n", a.roll_deg);
  std::fputs(kSeparator, stdout);
}

// The interim record is written whatever the table says: the flat-only run
// that completes it judges the module.
int32_t finish_l_only(const zorvel_calib_config& config, const zorvel_calibration_setup& setup,
                      const zorvel_calibration_result& result, zorvel_run_result& rr) {
  const zorvel_otp_interim_data record = build_interim_record(config, setup, result);
  std::fputs(kSeparator, stdout);
  rr.table = "L Chart Calibration result";
  const bool any_fail = print_l_chart_table(stdout, result, config, &rr.rows);
  std::printf("Calibration TEMP output ...\n\n");
  std::printf("Writing calibration OTP data to %s ...\n\n",
              config.calib_otp_interim_data_file_path.c_str());
  const std::string& path = config.calib_otp_interim_data_file_path;
  if (write_interim_data(path, record) != 1) {
    report_failure("Error writing OTP file %s ...\n\n",
                config.calib_otp_interim_data_file_path.c_str());
    record_not_written(rr, "interim", path, "write failed");
    end_run(rr, zorvel_run_status::not_tested, "record", "interim record unwritable");
    return 0;
  }
  record_written(rr, "interim", path, encode_interim_data(record));
  print_angles(result.angles);
  if (any_fail) end_run(rr, zorvel_run_status::failed, "table", "a row failed");
  return any_fail ? 0 : 1;
}

// Tables, then the OTP record only when every row passed.
int32_t finish_with_flat(const zorvel_calib_config& config, const zorvel_calibration_setup& setup,
                         const zorvel_calibration_result& result, zorvel_run_result& rr) {
  const zorvel_otp_data record = build_otp_record(config, setup, result, stdout);
  print_disparity_debug_info(stdout, "\n ==== Debug Info ===== \n", "\n ===== \n",
                             config.flat_chart_distance_mm, result.flat.mean_disparity,
                             result.reference_disparity);
  print_reference_metrics(stdout, record);
  collect_reference(rr, record, result, config.flat_chart_distance_mm);
  rr.table = "Calibration verification results";
  const bool any_fail = print_calibration_table(stdout, result, config, &rr.rows);
  std::printf("\n");
  std::fputs(kSeparator, stdout);
  std::printf("Calibration output ...\n\n");
  const std::string& path = config.calib_otp_data_file_path;
  if (!any_fail) {
    std::printf("Writing calibration OTP data to %s ...\n\n",
                config.calib_otp_data_file_path.c_str());
    if (write_otp_data(config.calib_otp_data_file_path, record) != 1) {
      report_failure("Error writing OTP file %s ...\n\n", config.calib_otp_data_file_path.c_str());
      record_not_written(rr, "otp", path, "write failed");
      end_run(rr, zorvel_run_status::not_tested, "record", "OTP record unwritable");
      return 0;
    }
    record_written(rr, "otp", path, encode_otp_data(record));
  } else {
    record_not_written(rr, "otp", path, "a row failed");
    end_run(rr, zorvel_run_status::failed, "table", "a row failed");
  }
  print_angles(result.angles);
  return any_fail ? 0 : 1;
}

}  // namespace

int32_t run_calibration(const zorvel_calib_config& config, const char* config_path,
                        uint8_t mode, const zorvel_run_options& options, zorvel_run_result& rr) {
  stage_clock clock(rr);
  switch (config.process_l_and_flat_config) {
    case kLAndFlat: rr.kind = zorvel_run_kind::l_and_flat; break;
    case kLOnly: rr.kind = zorvel_run_kind::l_only; break;
    case kFlatOnly: rr.kind = zorvel_run_kind::flat_only; break;
    default: rr.kind = zorvel_run_kind::none; break;
  }
  // Until the record is written the result says why it was not.
  if (rr.kind == zorvel_run_kind::l_only) {
    record_not_written(rr, "interim", config.calib_otp_interim_data_file_path,
                       "the run ended before its record");
  } else {
    record_not_written(rr, "otp", config.calib_otp_data_file_path,
                       "the run ended before its record");
  }
  clock.start("setup");
  std::fputs(kSeparator, stdout);
  std::printf("Parsed calibration config file %s ...\n\n", config_path);
  dump_calib_config(stdout, config);

  zorvel_calibration_setup setup;
  if (!prepare_calibration_setup(config, mode, setup)) {
    end_run(rr, zorvel_run_status::not_tested, "setup", "configuration values refused");
    return 0;
  }

  const bool swap = setup.working.rotated;
  const char* direction = rotation_direction(config.main_aux_rotation_flag);
  clock.start("captures");
  calibration_captures captures(config);
  set_sizes(captures.l, setup);
  set_sizes(captures.flat, setup);
  bool loaded = true;
  switch (config.process_l_and_flat_config) {
    case kLAndFlat:
      std::printf("\n Reading L and Flat");
      loaded = load_l_chart(captures, config, swap, direction) &&
               load_flat_chart(captures, config, swap, direction);
      break;
    case kLOnly:
      std::printf("\n Reading L ONLY");
      loaded = load_l_chart(captures, config, swap, direction);
      break;
    case kFlatOnly:
      std::printf("\n Reading Flat ONLY");
      loaded = load_flat_chart(captures, config, swap, direction);
      break;
    default:
      std::printf("\n In valid Case");
      break;
  }
  if (!loaded) {
    end_run(rr, zorvel_run_status::not_tested, "captures",
            "a capture could not be read or has the wrong size");
    return 0;
  }

  clock.start("calibration");
  zorvel_calibration_result result;
  result.details.keep_images = options.want_images;
  result.details.image_reduction = options.image_reduction;
  const bool calibrated = run_chart_calibration(config, captures, setup, result, rr);
  collect_details(rr, result.details);
  if (!calibrated) return 0;
  collect_calibration(rr, setup, result);
  clock.start("report");
  if (config.process_l_and_flat_config == kLOnly) return finish_l_only(config, setup, result, rr);
  return finish_with_flat(config, setup, result, rr);
}

}  // namespace zorvel
