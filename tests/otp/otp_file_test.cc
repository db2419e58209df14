// OTP and interim files: sizes, byte positions, round trips, the printed
// summary and the refusal of short or implausible files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "otp/otp_codec.h"
#include "otp_test_records.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

std::string bytes_of(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

TEST(OtpFile, StoresFieldsLittleEndianWithoutGaps) {
  zorvel_otp_data otp = numbered_record<zorvel_otp_data>();
  otp.version = 0x10607;
  otp.main_aux_position_flag = 0xBEEF;
  otp.cam_baseline_mm = 1.5f;      // 0x3FC00000, right after the 2-byte flag
  otp.aux_dewarp_coeff[0] = 0.25;  // 0x3FD0000000000000, at an odd offset
  otp.aux_adjust_ratio[0] = -50;
  const std::string file = bytes_of(encode_otp_data(otp));
  ASSERT_EQ(file.size(), 470u);
  EXPECT_EQ(file.substr(0, 4), std::string("\x07\x06\x01\x00", 4));
  EXPECT_EQ(file.substr(208, 6), std::string("\xEF\xBE\x00\x00\xC0\x3F", 6));
  EXPECT_EQ(file.substr(227, 8), std::string("\0\0\0\0\0\0\xD0\x3F", 8));
  EXPECT_EQ(file[465], '\xCE');  // the last field but four

  zorvel_otp_interim_data interim = numbered_record<zorvel_otp_interim_data>();
  interim.main_l_point_y[0] = -2;
  interim.main_fl_dewarping_reference = 1.0f;
  const std::string stored = bytes_of(encode_interim_data(interim));
  EXPECT_EQ(stored.substr(129, 6), std::string("\xC8\0\0\0\xFE\xFF", 6));  // 200 points, then the first
  EXPECT_EQ(stored.substr(2573, 4), std::string("\x00\x00\x80\x3F", 4));
}

TEST(OtpFile, RoundTripsBothRecordsAtTheirExactSizesAndPrintsTheSummary) {
  zorvel_otp_data otp = numbered_record<zorvel_otp_data>();
  std::fill(std::begin(otp.rot), std::end(otp.rot), 0.0f);
  otp.rot[0] = otp.rot[4] = 1.0f;  // yaw of one degree reads 1.000001 with 180 / 3.14159
  otp.rot[7] = static_cast<float>(std::sin(std::numbers::pi / 180.0));
  otp.rot[8] = static_cast<float>(std::cos(std::numbers::pi / 180.0));
  otp.dewarp_version = 4;
  otp.aux_warp_coeff[4] = -1.0 / 3.0;
  otp.aux_fl_dewarping_reference = 0.1f;
  otp.main_kp_fl_ratio[0] = 30;
  otp.main_adjust_ratio[0] = -50;
  otp.aux_kp_fl_ratio[4] = 255;
  const auto interim = numbered_record<zorvel_otp_interim_data>();
  scratch_dir dir;
  ASSERT_EQ(write_otp_data(dir.file("otp"), otp) + write_interim_data(dir.file("interim"), interim), 2);
  EXPECT_EQ(read_file(dir.file("otp")).size(), 470u);
  EXPECT_EQ(read_file(dir.file("interim")).size(), 2577u);
  zorvel_otp_data otp_back;
  zorvel_otp_interim_data interim_back;
  const std::string text = capture_stdout([&] { EXPECT_EQ(read_otp_data(dir.file("otp"), otp_back), 1); });
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(dir.file("interim"), interim_back), 1); }), "");
  EXPECT_EQ(otp_back, otp);
  EXPECT_EQ(interim_back, interim);
  for (const char* line : {
           "relative_pitch_degrees=-0.000000\nrelative_yaw_degrees=1.000001\n"
           "relative_roll_degrees=0.000000\nDewarp Version = 0x4\n\nAux Dewarp coeff0=",
           "\nAux Warp coeff4=-0.3333333333333333\nAux fl_dewarping_reference=0.1000000014901161\n"
           "Main Dewarp coeff0=",
           "\nMain fl_dewarping_reference=",
           "\nMain KP FL Ratio [0] = 1.003\nMain Adjust Ratio [0] = 0.995\nAux KP FL Ratio [0] = ",
           "\nAux KP FL Ratio [4] = 1.026\nAux Adjust Ratio [4] = ",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 2 + 10 + 1 + 10 + 1 + 20);
}

TEST(OtpFile, RefusesShortAndImplausibleFilesAndLeavesTheRecordZero) {
  scratch_dir dir;
  const std::string path = dir.file("otp");
  const auto refusal = [&](const std::string& bytes, size_t length, size_t offset = 0, const std::string& patch = {}) {
    write_file(path, bytes.substr(0, length).replace(offset, patch.size(), patch));
    zorvel_otp_data otp = numbered_record<zorvel_otp_data>();
    zorvel_otp_interim_data interim = numbered_record<zorvel_otp_interim_data>();
    const std::string printed = capture_stdout([&] {
      EXPECT_EQ(bytes.size() == 470 ? read_otp_data(path, otp) : read_interim_data(path, interim), 0);
    });
    EXPECT_TRUE(otp == zorvel_otp_data{} || interim == zorvel_otp_interim_data{}) << printed;
    return printed;
  };
  const std::string otp = bytes_of(encode_otp_data(numbered_record<zorvel_otp_data>()));
  const std::string interim = bytes_of(encode_interim_data(numbered_record<zorvel_otp_interim_data>()));
  const std::string truncated = "Failed to read OTP file " + path + ": file is truncated\n";
  const std::string invalid = "OTP file " + path + " holds an invalid calibration record\n";
  for (size_t length : {size_t{0}, size_t{100}, size_t{469}}) EXPECT_EQ(refusal(otp, length), truncated);
  EXPECT_EQ(refusal(interim, 2576), truncated);
  EXPECT_EQ(refusal(otp, 470, 84, std::string("\0\0\xC0\x7F", 4)), invalid);           // NaN geo[3]
  EXPECT_EQ(refusal(otp, 470, 227, std::string("\0\0\0\0\0\0\xF0\x7F", 8)), invalid);  // +inf
  EXPECT_EQ(refusal(otp, 470, 4, std::string(4, '\0')), invalid);                       // focal 0 px
  EXPECT_EQ(refusal(otp, 470, 32, std::string("\0\0\x80\xBF", 4)), invalid);           // aux ratio -1
  EXPECT_EQ(refusal(interim, 2577, 129, "\xC9"), "OTP file " + path + " holds an invalid point count 201\n");

  zorvel_otp_interim_data out;
  write_file(path, interim + "longer files are fine");
  EXPECT_EQ(read_interim_data(path, out), 1);
  EXPECT_EQ(out, numbered_record<zorvel_otp_interim_data>());
  EXPECT_EQ(capture_stdout([&] { read_interim_data(dir.file("absent"), out); }),
            "Failed to open OTP file " + dir.file("absent") + " for reading\n");

  // Files of the wrong kind are named for what they are, for both reads.
  zorvel_otp_data record;
  write_file(path, interim);
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_otp_data(path, record), 0); }),
            "OTP file " + path + " holds an interim record (2577 bytes), not a calibration record\n");
  std::filesystem::create_directory(dir.file("folder"));
  const std::string directory = "Failed to read OTP file " + dir.file("folder") + ": it is a directory\n";
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_otp_data(dir.file("folder"), record), 0); }), directory);
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(dir.file("folder"), out), 0); }), directory);
}

}  // namespace
}  // namespace zorvel::test
