// Black-box runs of the whole call: what a station sees on standard output
// and the returned value, compared as exact text.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "config/sample_configs.h"
#include "driver/entry.h"
#include "driver/expected_dumps.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

std::string banner(const std::string& path) {
  return "\nzorvel version  = 0x10607\n"
         "Private version = 0  \n"
         "Major version   = 1  \n"
         "Minor version   = 6  \n"
         "Patch version   = 7  \n\n"
         "Dewarp version   = 0x4\n\n"
         "===========================\n"
         "Validating config file " + path + " ...\n\n";
}

std::string both_rejected(const std::string& verif_message, const std::string& calib_message) {
  return "Not a valid calibration config file ...\n\n"
         "Not a valid verification config file ...\n\n"
         "\nError messages from verification parser:\n\n" + verif_message + "\n"
         "===========================\n"
         "\nError messages from calibration  parser:\n\n" + calib_message + "\n"
         "===========================\n";
}

std::string calibration_until_captures(const std::string& path) {
  return "===========================\n"
         "Parsed calibration config file " + path + " ...\n\n" + kCalibSampleDump +
         "\n Reading L and Flat"
         "\nError: Failed to get R,G,B data from BMP file Captures/Main_L.bmp\n";
}

std::string verification_until_otp_file(const std::string& path) {
  return "Not a valid calibration config file ...\n\n"
         "\n aux flag = main_aux_rotation_flag"
         "\n aux flag = 1"
         "\n 3.500000 p_config.tolerance_of_fl_ratio_in_percent_aux"
         "===========================\n"
         "Parsed verification config file " + path + " ...\n\n" + kVerifSampleDump +
         "===========================\n"
         "Parsed calibration OTP data file Out/OTP_Data.bin ...\n\n"
         "Failed to open OTP file Out/OTP_Data.bin for reading\n"
         "Error parsing OTP file Out/OTP_Data.bin ...\n\n";
}

const std::string kCalibMissingFirst =
    "Could not find mandatory parameter main_native_width in config file\n";
const std::string kVerifMissingFirst =
    "Could not find mandatory parameter main_verify_input_width in config file\n";

struct run_output {
  int32_t result;
  std::string text;
};

run_output run(const char* path, uint8_t mode = 0) {
  run_output out{-1, {}};
  out.text = capture_stdout([&] { out.result = calibrate(path, mode); });
  return out;
}

class EntryTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.file(name);
    write_file(path, bytes);
    return path;
  }
  scratch_dir dir_;
};

TEST_F(EntryTest, MissingPathAndNullPathReportTheMissingFileFromBothParsers) {
  const std::string path = dir_.file("absent.cfg");
  const run_output missing = run(path.c_str());
  EXPECT_EQ(missing.result, 0);
  EXPECT_EQ(missing.text, banner(path) + both_rejected("Could not find config file " + path + "\n",
                                                       "Could not find config file " + path + "\n"));

  const run_output null_path = run(nullptr);
  EXPECT_EQ(null_path.result, 0);
  EXPECT_EQ(null_path.text, banner("") + both_rejected("Could not find config file \n",
                                                       "Could not find config file \n"));
}

TEST_F(EntryTest, DirectoryReportsItsModeWord) {
  const std::string path = dir_.file("dir.cfg");
  std::filesystem::create_directory(path);
  std::filesystem::permissions(path, std::filesystem::perms(0755));
  const std::string message = "Invalid file mode 16877 for config file " + path + "\n";
  const run_output out = run(path.c_str());
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.text, banner(path) + both_rejected(message, message));
}

TEST_F(EntryTest, FilesWithoutUsableKeysAreRejectedByBothParsers) {
  std::mt19937 bytes_rng;  // default state: the same garbage every run
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(bytes_rng() & 0xff);
  for (const auto& [name, content] :
       {std::pair<std::string, std::string>{"foreign.cfg", "hello = world\nanswer=42\n"},
        {"empty.cfg", ""},
        {"garbage.bin", garbage}}) {
    SCOPED_TRACE(name);
    const std::string path = write(name, content);
    const run_output out = run(path.c_str());
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.text, banner(path) + both_rejected(kVerifMissingFirst, kCalibMissingFirst));
  }
}

TEST_F(EntryTest, ValidCalibrationEchoesItsConfigurationAndStopsAtTheMissingCaptures) {
  const std::string path = write("calib.cfg", render(calib_sample()));
  for (const uint8_t mode : {0, 4, 255}) {
    const run_output out = run(path.c_str(), mode);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.text, banner(path) + calibration_until_captures(path)) << "mode " << int(mode);
  }
}

TEST_F(EntryTest, ValidVerificationPrintsProgressEchoAndStopsAtTheMissingOtpFile) {
  const std::string path = write("verif.cfg", render(verif_sample()));
  const run_output out = run(path.c_str());
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.text, banner(path) + verification_until_otp_file(path));
}

TEST_F(EntryTest, FileSatisfyingBothParsersRunsAsCalibration) {
  // Calibration lines last, so they win where both kinds share a key.
  const std::string path = write("both.cfg", render(verif_sample()) + render(calib_sample()));
  const run_output out = run(path.c_str());
  EXPECT_EQ(out.text, banner(path) + calibration_until_captures(path));
}

TEST_F(EntryTest, MissingKeyAndInvalidValueAreReportedInsideTheCalibrationReport) {
  const std::string missing = write("missing.cfg", render(without(calib_sample(), "main_focal_length_mm")));
  EXPECT_EQ(run(missing.c_str()).text,
            banner(missing) +
                both_rejected(kVerifMissingFirst,
                              "Could not find mandatory parameter main_focal_length_mm in config file\n"));

  const std::string invalid = write("invalid.cfg", render(with(calib_sample(), "main_native_height", "-3 000")));
  const run_output out = run(invalid.c_str());
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.text, banner(invalid) +
                          both_rejected(kVerifMissingFirst,
                                        "Invalid value for parameter main_native_height = -3000\n"));
}

TEST_F(EntryTest, CrlfLineEndingsReadLikeLineFeeds) {
  const std::string path = write("crlf.cfg", render(calib_sample(), "\r\n"));
  EXPECT_EQ(run(path.c_str()).text, banner(path) + calibration_until_captures(path));
}

TEST_F(EntryTest, OverlongLineIsDroppedWhole) {
  // 5000 characters whose tail would read as a rejected key if the line were
  // cut into pieces of the reader's line limit.
  std::string line = std::string(4 * 1022, '#') + "main_native_height=-1";
  line += std::string(5000 - line.size(), ' ');
  const std::string path = write("long.cfg", render(calib_sample()) + line + "\n");
  EXPECT_EQ(run(path.c_str()).text, banner(path) + calibration_until_captures(path));

  // The only line of a mandatory key, too long: the key is missing.
  const std::string long_value = "main_native_width=" + std::string(4982, '4');
  const std::string only = write(
      "long_only.cfg", long_value + "\n" + render(without(calib_sample(), "main_native_width")));
  EXPECT_EQ(run(only.c_str()).text,
            banner(only) + both_rejected(kVerifMissingFirst, kCalibMissingFirst));
}

TEST_F(EntryTest, CommaLocaleOfTheHostChangesNothingAndIsRestored) {
  const std::string path = write("calib.cfg", render(calib_sample()));
  run_output out{-1, {}};
  char after[16];
  {
    const comma_numeric_locale comma;
    if (!comma.available()) GTEST_SKIP() << "comma locale not available";
    out = run(path.c_str());
    std::snprintf(after, sizeof after, "%.1f", 1.5);
  }

  EXPECT_EQ(out.text, banner(path) + calibration_until_captures(path));
  EXPECT_STREQ(after, "1,5");  // the caller's locale is back after the call
}

}  // namespace
}  // namespace zorvel::test
