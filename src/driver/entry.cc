#include "driver/entry.h"

#include <cstdio>
#include <exception>
#include <string>

#include "common/run_messages.h"
#include "config/c_numeric_locale.h"
#include "config/calib_config.h"
#include "config/config_reader.h"
#include "config/verif_config.h"
#include "driver/calibration_run.h"
#include "driver/run_collect.h"
#include "driver/run_outputs.h"
#include "driver/verification_run.h"
#include "otp/otp_record.h"
#include "zorvel_version.h"

namespace zorvel {
namespace {

constexpr const char* kSeparator = "===========================\n";
constexpr const char* kNotCalibration = "Not a valid calibration config file ...\n\n";
constexpr const char* kNotVerification = "Not a valid verification config file ...\n\n";
constexpr const char* kVerificationReport = "\nError messages from verification parser:\n\n%s\n";
constexpr const char* kCalibrationReport = "\nError messages from calibration  parser:\n\n%s\n";
constexpr const char* kInternalError = "\nError: internal error ...\n";

void print_banner(const char* config_path) {
  std::printf("\nzorvel version  = 0x%x\n", static_cast<unsigned>(kLibraryVersion));
  std::printf("Private version = %u  \n", kPrivateVersion);
  std::printf("Major version   = %u  \n", kMajorVersion);
  std::printf("Minor version   = %u  \n", kMinorVersion);
  std::printf("Patch version   = %u  \n\n", kPatchVersion);
  std::printf("Dewarp version   = 0x%x\n\n", static_cast<unsigned>(kDewarpVersion));
  std::fputs(kSeparator, stdout);
  std::printf("Validating config file %s ...\n\n", config_path);
}

// The first line of a parser's messages.
std::string first_line(const std::string& text) {
  const size_t begin = text.find_first_not_of('\n');
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find('\n', begin) - begin);
}

// Where the configuration asks for its outputs; a file either parser loaded
// may name them, even when it was refused.
void take_outputs(const std::string& json, const std::string& report, zorvel_run_result& rr) {
  if (rr.json_path.empty()) rr.json_path = json;
  if (rr.report_dir.empty()) rr.report_dir = report;
}

int32_t dispatch(const char* config_path, uint8_t mode, const zorvel_run_options& options,
                 zorvel_run_result& rr) {
  stage_clock clock(rr);
  clock.start("configuration");
  zorvel_calib_config calib_config;
  // Read once for both parsers; the second load repeats any file message.
  zorvel_config_reader reader(config_path);
  zorvel_parse_result calib_result;
  print_banner(config_path);
  parse_calib_config(reader, calib_config, calib_result);
  take_outputs(calib_config.result_json_file_path, calib_config.result_report_dir_path, rr);
  zorvel_run_options effective = options;
  if (!rr.report_dir.empty()) effective.want_images = true;  // the picture shows them
  if (calib_result.status == 1) {
    clock.stop();
    return run_calibration(calib_config, config_path, mode, effective, rr);
  }

  zorvel_verif_config verif_config;
  zorvel_parse_result verif_result;
  std::fputs(kNotCalibration, stdout);
  parse_verif_config(reader, verif_config, verif_result, stdout);
  take_outputs(verif_config.result_json_file_path, verif_config.result_report_dir_path, rr);
  if (!rr.report_dir.empty()) effective.want_images = true;
  if (verif_result.status == 1) {
    clock.stop();
    return run_verification(verif_config, config_path, mode, effective, rr) ? 1 : 0;
  }

  std::fputs(kNotVerification, stdout);
  std::printf(kVerificationReport, verif_result.messages.c_str());
  std::fputs(kSeparator, stdout);
  std::printf(kCalibrationReport, calib_result.messages.c_str());
  std::fputs(kSeparator, stdout);
  const std::string why = first_line(calib_result.messages);
  end_run(rr, zorvel_run_status::not_tested, "configuration",
          "neither a calibration nor a verification configuration" +
              (why.empty() ? std::string() : ": " + why));
  return 0;
}

// The verdict beside the library's 1 or 0 when no stage set one.
void settle_status(zorvel_run_result& rr) {
  if (rr.status == zorvel_run_status::diagnostic) return;
  if (rr.result == 1) {
    rr.status = zorvel_run_status::passed;
  } else if (rr.failed_stage.empty()) {
    rr.status = zorvel_run_status::failed;
    rr.failed_stage = "run";
    rr.failure_message = "the run failed";
  }
}

}  // namespace

int32_t run(const char* config_path, uint8_t mode, const zorvel_run_options& options,
            zorvel_run_result* out) {
  zorvel_run_result local;
  zorvel_run_result& rr = out ? *out : local;
  rr = zorvel_run_result{};
  try {
    rr.config_path = config_path ? config_path : "";
    rr.mode = mode;
    rr.json_path = options.json_path;
    rr.report_dir = options.report_dir;
    clear_failure_message();
    {
      // The station may run with a comma decimal locale; numbers in the file
      // and in every printed report use the C conventions for this call only.
      const c_numeric_locale c_numbers;
      // A null path behaves as the empty path: no such file for both parsers.
      rr.result = dispatch(config_path ? config_path : "", mode, options, rr) == 1 ? 1 : 0;
    }
    settle_status(rr);
    std::fflush(stdout);
  } catch (...) {
    std::fputs(kInternalError, stdout);
    std::fflush(stdout);
    rr.result = 0;
    rr.status = zorvel_run_status::not_tested;
    rr.failed_stage = "internal";
    rr.failure_message = "internal error";
  }
  clear_failure_message();
  write_run_outputs(rr, options);
  return rr.result;
}

int32_t calibrate(const char* config_path, uint8_t mode) {
  return run(config_path, mode, zorvel_run_options{}, nullptr);
}

}  // namespace zorvel
