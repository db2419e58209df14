#include "driver/entry.h"

#include <cstdio>
#include <exception>

#include "config/c_numeric_locale.h"
#include "config/calib_config.h"
#include "config/config_reader.h"
#include "config/verif_config.h"
#include "driver/calibration_run.h"
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

int32_t dispatch(const char* config_path, uint8_t mode) {
  zorvel_calib_config calib_config;
  // Read once for both parsers; the second load repeats any file message.
  zorvel_config_reader reader(config_path);
  zorvel_parse_result calib_result;
  print_banner(config_path);
  parse_calib_config(reader, calib_config, calib_result);
  if (calib_result.status == 1) return run_calibration(calib_config, config_path, mode);

  zorvel_verif_config verif_config;
  zorvel_parse_result verif_result;
  std::fputs(kNotCalibration, stdout);
  parse_verif_config(reader, verif_config, verif_result, stdout);
  if (verif_result.status == 1) return run_verification(verif_config, config_path, mode);

  std::fputs(kNotVerification, stdout);
  std::printf(kVerificationReport, verif_result.messages.c_str());
  std::fputs(kSeparator, stdout);
  std::printf(kCalibrationReport, calib_result.messages.c_str());
  std::fputs(kSeparator, stdout);
  return 0;
}

}  // namespace

int32_t calibrate(const char* config_path, uint8_t mode) {
  try {
    // The station may run with a comma decimal locale; numbers in the file
    // and in every printed report use the C conventions for this call only.
    const c_numeric_locale c_numbers;
    // A null path behaves as the empty path: no such file for both parsers.
    const int32_t result = dispatch(config_path ? config_path : "", mode);
    std::fflush(stdout);
    return result == 1 ? 1 : 0;
  } catch (...) {
    std::fputs(kInternalError, stdout);
    std::fflush(stdout);
    return 0;
  }
}

}  // namespace zorvel
