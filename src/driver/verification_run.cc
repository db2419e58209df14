// The verification run: configuration echo, the stored OTP record, checks,
// the flat-chart captures, the depth verification and its table. The echo
// prints the normalised configuration texts; files are opened, and named in
// every message, by their paths as written.
#include "driver/verification_run.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "common/run_messages.h"
#include "driver/capture_loading.h"
#include "driver/config_dump.h"
#include "driver/run_collect.h"
#include "driver/verification_report.h"
#include "driver/verification_setup.h"
#include "image/bmp.h"
#include "otp/otp_record.h"
#include "verify/depth_verification.h"

namespace zorvel {
namespace {

constexpr const char* kSeparator = "===========================\n";
constexpr uint8_t kModeDebugInfo = 1;
constexpr uint8_t kModeRectifiedFramesOnly = 2;

void echo_configuration(const zorvel_verif_config& config, const char* config_path) {
  std::fputs(kSeparator, stdout);
  std::printf("Parsed verification config file %s ...\n\n", config_path);
  dump_verif_config(stdout, config);
  std::fputs(kSeparator, stdout);
}

bool read_stored_calibration(const zorvel_verif_config& config, zorvel_otp_data& otp) {
  std::printf("Parsed calibration OTP data file %s ...\n\n", config.calib_otp_data_file_path.c_str());
  if (read_otp_data(config.calib_otp_data_file_path, otp) == 1) return true;
  report_failure("Error parsing OTP file %s ...\n\n", config.calib_otp_data_file_path.c_str());
  return false;
}

// load_capture and check_capture_size, noting the result's message when
// either fails.
bool load_checked(zorvel_bmp_read& reader, const char* label, const std::string& shown,
                  bool swap, const char* direction, int32_t width, int32_t height,
                  std::vector<uint8_t>& scratch, capture_planes& planes) {
  if (!load_capture(reader, label, shown, swap, direction, scratch, planes)) {
    note_failure(std::string("cannot read the ") + label + " capture " + shown);
    return false;
  }
  if (check_capture_size(reader, shown, width, height)) return true;
  note_failure("capture " + shown + " is not of the configured size");
  return false;
}

// Main capture, then aux, each parsed, turned, and size-checked. The readers
// own the planes capture borrows.
bool load_captures(const zorvel_verif_config& config, zorvel_bmp_read& main_reader,
                   zorvel_bmp_read& aux_reader, zorvel_capture_pair& capture) {
  const bool swap = config.main_aux_rotation_flag != 0;
  const char* direction = rotation_direction(config.main_aux_rotation_flag);
  capture_planes main, aux;
  std::vector<uint8_t> scratch;  // rows read, shared by both captures
  if (!load_checked(main_reader, "main Flat", config.main.verify_flat_chart_image_path, swap,
                    direction, config.main.verify_input_width, config.main.verify_input_height,
                    scratch, main) ||
      !load_checked(aux_reader, "aux Flat", config.aux.verify_flat_chart_image_path, swap,
                    direction, config.aux.verify_input_width, config.aux.verify_input_height,
                    scratch, aux)) {
    return false;
  }
  capture = oriented_capture_size(config);
  capture.main_r = main.r;
  capture.main_g = main.g;
  capture.main_b = main.b;
  capture.aux_r = aux.r;
  capture.aux_g = aux.g;
  capture.aux_b = aux.b;
  capture.sampled = main.sampled && aux.sampled;
  return true;
}

// The one place of the verification that turns an exception from the
// numerics or an allocation into a failed run.
zorvel_verification_result run_depth_verification(const zorvel_capture_pair& capture,
                                                   const zorvel_verification_input& input) {
  try {
    return depth_verification(capture, input);
  } catch (const std::exception&) {
    report_failure("\nError in depth verification\n\n");
    return {};
  }
}

// Everything the run prints once the verification ran; false when a row failed.
bool report(const zorvel_verif_config& config, uint8_t mode,
            const zorvel_verification_result& result, zorvel_run_result& rr) {
  if (mode == kModeDebugInfo) print_verification_debug_info(stdout, config, result);
  std::fputs(kSeparator, stdout);
  if (mode == kModeRectifiedFramesOnly) {
    print_rectified_frames_notice(stdout);
    return true;
  }
  // Modes 6 and 7 measured nothing: their rows show the empty result and fail.
  rr.table = "Depth verification results";
  const bool any_fail = print_verification_table(stdout, result, config, &rr.rows);
  std::printf("\n");
  std::fputs(kSeparator, stdout);
  return !any_fail;
}

}  // namespace

bool run_verification(const zorvel_verif_config& config, const char* config_path, uint8_t mode,
                      const zorvel_run_options& options, zorvel_run_result& rr) {
  stage_clock clock(rr);
  rr.kind = zorvel_run_kind::verification;
  clock.start("setup");
  echo_configuration(config, config_path);
  zorvel_otp_data otp{};
  if (!read_stored_calibration(config, otp)) {
    end_run(rr, zorvel_run_status::not_tested, "record", "stored record unreadable");
    return false;
  }
  bool matches = check_verification_focus(config);
  if (matches) {
    if (config.main_aux_rotation_flag != 0) std::printf("SWAP DIMENSIONS\n");
    matches = check_against_otp(config, otp);
  }
  if (!matches) {
    end_run(rr, zorvel_run_status::not_tested, "setup",
            "configuration does not match the stored record");
    return false;
  }

  clock.start("captures");
  zorvel_bmp_read main_reader(config.main.verify_flat_chart_image_path);
  zorvel_bmp_read aux_reader(config.aux.verify_flat_chart_image_path);
  zorvel_capture_pair capture;
  if (!load_captures(config, main_reader, aux_reader, capture)) {
    end_run(rr, zorvel_run_status::not_tested, "captures",
            "a capture could not be read or has the wrong size");
    return false;
  }
  if (!check_verification_parameters(config)) {
    end_run(rr, zorvel_run_status::not_tested, "setup", "configuration values refused");
    return false;
  }

  clock.start("verification");
  zorvel_verification_input input = verification_input_of(config, otp, mode);
  input.keep_images = options.want_images;
  input.image_reduction = options.image_reduction;
  const zorvel_verification_result result = run_depth_verification(capture, input);
  collect_verification(rr, config, input, result);
  if (!result.ok) {
    end_run(rr, zorvel_run_status::failed, "verification", "depth verification failed");
    return false;
  }
  clock.start("report");
  const bool passed = report(config, mode, result, rr);
  if (stops_after_images(mode)) {
    end_run(rr, zorvel_run_status::diagnostic, "", "");
    rr.failure_message.clear();
  } else if (!passed) {
    end_run(rr, zorvel_run_status::failed, "table", "a row failed");
  }
  return passed;
}

}  // namespace zorvel
