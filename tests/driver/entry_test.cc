// Black-box runs of the whole call: what a station sees on standard output
// and the returned value. The echo of a configuration is compared with the
// file it came from, its number formats with the stored precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "driver/run_helpers.h"

namespace zorvel::test {
namespace {

const std::string kSeparator = "===========================\n";

std::string both_rejected(const std::string& verif_message, const std::string& calib_message) {
  return "Not a valid calibration config file ...\n\nNot a valid verification config file ...\n\n"
         "\nError messages from verification parser:\n\n" + verif_message + "\n" + kSeparator +
         "\nError messages from calibration  parser:\n\n" + calib_message + "\n" + kSeparator;
}

run_output run(const char* path, uint8_t mode = 0) {
  run_output out;
  out.text = capture_stdout([&] { out.result = calibrate(path, mode); });
  return out;
}

// The echo after the last "config file <path> ...\n\n" has `lines` lines,
// each with the file's value (numbers to six decimals; texts, like keys, in
// lower case without blanks); the distortion adjustments the file leaves out
// echo as 1. Returns what the run printed after validation, echo cut out.
std::string checked(const std::string& path, int lines, uint8_t mode = 0) {
  std::map<std::string, std::string> given;
  std::istringstream file(read_file(path));
  for (std::string line; std::getline(file, line);) {
    std::erase(line, ' ');
    std::transform(line.begin(), line.end(), line.begin(), [](unsigned char c) { return std::tolower(c); });
    given[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  }
  const run_output out = run(path.c_str(), mode);
  const std::string title = "config file " + path + " ...\n\n";
  const size_t begin = out.text.rfind(title) + title.size();
  size_t at = begin, end, eq;
  int count = 0;
  for (; (end = out.text.find('\n', at)) != std::string::npos && (eq = out.text.find('=', at)) < end && eq > at;
       at = end + 1, ++count) {
    const std::string name = out.text.substr(at, eq - at), value = out.text.substr(eq + 1, end - eq - 1);
    const std::string want = given.count(name) ? given[name] : name.starts_with("distortion_") ? "1" : "<none>";
    char* rest = nullptr;
    const double v = std::strtod(value.c_str(), &rest), w = std::strtod(want.c_str(), nullptr);
    if (*rest == '\0') EXPECT_NEAR(v, w, 5e-7 + 1e-7 * std::fabs(w)) << name;  // float or six decimals
    else EXPECT_EQ(value, want) << name;
  }
  EXPECT_EQ(count, lines);
  EXPECT_EQ(out.result, 0);
  return after(out.text.substr(0, begin) + out.text.substr(at), "Validating " + title);
}

TEST(EntryTest, FilesNeitherParserTakesAreReportedByBoth) {
  const scratch_dir dir;
  const std::string absent = dir.file("absent.cfg"), missing = "Could not find config file " + absent + "\n";
  run_output out = run(absent.c_str());
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(after(out.text, "Validating config file " + absent + " ...\n\n"), both_rejected(missing, missing));
  // A null path behaves as the empty one.
  EXPECT_EQ(after(run(nullptr).text, "Validating config file  ...\n\n"),
            both_rejected("Could not find config file \n", "Could not find config file \n"));

  // A file over the size limit is refused before it is read, by both.
  const std::string large = dir.file("large.cfg"), too_large = "Config file " + large + " is larger than 1048576 bytes\n";
  write_file(large, render(calib_sample()) + std::string(1 << 20, '\n'));
  EXPECT_EQ(after(run(large.c_str()).text, "Validating config file " + large + " ...\n\n"),
            both_rejected(too_large, too_large));

  const std::string path = dir.file("foreign.cfg");
  for (const char* content : {"hello = world\nanswer=42\n", "", "\xff\x01=\x80\n"}) {
    write_file(path, content);
    out = run(path.c_str());
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(after(out.text, "Validating config file " + path + " ...\n\n"),
              both_rejected("Could not find mandatory parameter main_verify_input_width in config file\n",
                            "Could not find mandatory parameter main_native_width in config file\n"));
  }
}

TEST(EntryTest, ValidFilesEchoTheirConfigurationAndRunInAnyHostLocale) {
  const scratch_dir dir;
  const std::string calib = dir.file("calib.cfg"), both = dir.file("both.cfg"), verif = dir.file("verif.cfg");
  // With the optional keys, and floats that show their precision below.
  write_file(calib, render(calib_sample()) + "fl_dewarping_reference_aux=330.3\ndistortion_adj_fl_ratio_main_1=1.01\n"
                    "process_l_and_flat_config=0\ncrop_percent_for_aux=15\n"
                    "calib_otp_interim_data_file=Out/Interim.otp\n");
  // Calibration lines last, so they win where both kinds share a key.
  write_file(both, render(verif_sample()) + render(calib_sample()));
  write_file(verif, render(verif_sample()) + "enable_debug_mode=1\n");
  const auto until_captures = [](const std::string& path) {
    return kSeparator + "Parsed calibration config file " + path + " ...\n\n\n Reading L and Flat"
           "\nError: Failed to get R,G,B data from BMP file Captures/Main_L.bmp\n";
  };
  EXPECT_EQ(checked(calib, 91, 4), until_captures(calib));  // no debug file before the captures
  EXPECT_EQ(checked(both, 88), until_captures(both));
  EXPECT_TRUE(checked(verif, 32).ends_with(kSeparator + "Parsed verification config file " + verif + " ...\n\n" +
                                           kSeparator + "Parsed calibration OTP data file Out/OTP_Data.bin ...\n\n"
                                           "Failed to open OTP file Out/OTP_Data.bin for reading\n"
                                           "Error parsing OTP file Out/OTP_Data.bin ...\n\n"));
  // Numbers are printed from the precision they are stored in.
  const std::string plain = run(calib.c_str()).text;
  EXPECT_TRUE(in_order(plain, {"\ndewarp_coeff_main_2=0.10000000000000\n",
                               "\ndistortion_adj_fl_ratio_main_1=1.00999999046326\n",
                               "\nfl_dewarping_reference_aux=330.29998779296875\n",
                               "\nflat_chart_standard_dev_threshold=0.50\n"}));

  // A comma decimal locale of the host changes nothing and is back after the call.
  const comma_numeric_locale comma;
  if (!comma.available()) GTEST_SKIP() << "comma locale not available";
  EXPECT_EQ(run(calib.c_str()).text, plain);
  char after_call[16];
  std::snprintf(after_call, sizeof after_call, "%.1f", 1.5);
  EXPECT_STREQ(after_call, "1,5");
}

}  // namespace
}  // namespace zorvel::test
