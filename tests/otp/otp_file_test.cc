// OTP and interim files: sizes, byte positions, round trips, the printed
// summary and the refusal of short or implausible files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "otp/otp_codec.h"
#include "otp_test_records.h"
#include "support/test_support.h"

namespace zorvel::test {
namespace {

TEST(OtpFile, RoundTripsBothRecordsAtTheirExactSizes) {
  scratch_dir dir;
  const auto otp = numbered_record<zorvel_otp_data>();
  const auto interim = numbered_record<zorvel_otp_interim_data>();
  ASSERT_EQ(write_otp_data(dir.file("otp"), otp), 1);
  ASSERT_EQ(write_interim_data(dir.file("interim"), interim), 1);
  EXPECT_EQ(read_file(dir.file("otp")).size(), 470u);
  EXPECT_EQ(read_file(dir.file("interim")).size(), 2577u);
  zorvel_otp_data otp_back;
  zorvel_otp_interim_data interim_back;
  capture_stdout([&] { EXPECT_EQ(read_otp_data(dir.file("otp"), otp_back), 1); });
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(dir.file("interim"), interim_back), 1); }), "");
  EXPECT_EQ(otp_back, otp);
  EXPECT_EQ(interim_back, interim);
}

TEST(OtpFile, StoresFieldsLittleEndianWithoutGaps) {
  zorvel_otp_data otp = numbered_record<zorvel_otp_data>();
  otp.version = 0x10607;
  otp.main_aux_position_flag = 0xBEEF;
  otp.cam_baseline_mm = 1.5f;      // 0x3FC00000, right after the 2-byte flag
  otp.aux_dewarp_coeff[0] = 0.25;  // 0x3FD0000000000000, at an odd offset
  otp.aux_warp_coeff[4] = -2.0;
  const int8_t adjust[5] = {-50, 1, 2, 3, 4};
  for (int i = 0; i < 5; ++i) {
    otp.main_kp_fl_ratio[i] = static_cast<uint8_t>(30 + i);
    otp.aux_adjust_ratio[i] = adjust[i];
  }
  const auto v = encode_otp_data(otp);
  const std::string file(v.begin(), v.end());
  ASSERT_EQ(file.size(), 470u);
  EXPECT_EQ(file.substr(0, 4), std::string("\x07\x06\x01\x00", 4));
  EXPECT_EQ(file.substr(208, 6), std::string("\xEF\xBE\x00\x00\xC0\x3F", 6));
  EXPECT_EQ(file.substr(227, 8), std::string("\0\0\0\0\0\0\xD0\x3F", 8));
  EXPECT_EQ(file.substr(442, 8), std::string("\0\0\0\0\0\0\0\xC0", 8));
  EXPECT_EQ(file.substr(450, 5), "\x1E\x1F\x20\x21\x22");
  EXPECT_EQ(file.substr(465, 5), std::string("\xCE\x01\x02\x03\x04", 5));
  // Ratios are read back as ten-thousandths above 1.
  EXPECT_FLOAT_EQ(decode_ratio_byte(uint8_t{255}), 1.0255f);
  EXPECT_FLOAT_EQ(decode_ratio_byte(int8_t{-128}), 0.9872f);

  zorvel_otp_interim_data interim = numbered_record<zorvel_otp_interim_data>();
  interim.l_chart_point_count = 200;
  interim.main_l_point_y[0] = -2;
  interim.aux_l_label_xw[199] = 9;
  interim.main_fl_dewarping_reference = 1.0f;
  const auto w = encode_interim_data(interim);
  const std::string stored(w.begin(), w.end());
  EXPECT_EQ(stored.substr(129, 6), std::string("\xC8\0\0\0\xFE\xFF", 6));
  EXPECT_EQ(stored.substr(2532, 1), "\x09");
  EXPECT_EQ(stored.substr(2573, 4), std::string("\x00\x00\x80\x3F", 4));
}

TEST(OtpFile, ReadingPrintsTheSummary) {
  zorvel_otp_data otp = numbered_record<zorvel_otp_data>();
  for (float& r : otp.rot) r = 0.0f;
  otp.rot[0] = otp.rot[4] = 1.0f;  // yaw of one degree reads 1.000001 with 180 / 3.14159
  otp.rot[7] = static_cast<float>(std::sin(std::numbers::pi / 180.0));
  otp.rot[8] = static_cast<float>(std::cos(std::numbers::pi / 180.0));
  otp.dewarp_version = 4;
  otp.aux_warp_coeff[4] = -1.0 / 3.0;
  otp.aux_fl_dewarping_reference = 0.1f;
  otp.main_kp_fl_ratio[0] = 30;
  otp.main_adjust_ratio[0] = -50;
  scratch_dir dir;
  ASSERT_EQ(write_otp_data(dir.file("otp"), otp), 1);
  const std::string text = capture_stdout([&] { read_otp_data(dir.file("otp"), otp); });
  for (const char* line : {
           "relative_pitch_degrees=-0.000000\nrelative_yaw_degrees=1.000001\n"
           "relative_roll_degrees=0.000000\nDewarp Version = 0x4\n\nAux Dewarp coeff0=",
           "\nAux Warp coeff4=-0.3333333333333333\nAux fl_dewarping_reference=0.1000000014901161\n"
           "Main Dewarp coeff0=",
           "\nMain fl_dewarping_reference=",
           "\nMain KP FL Ratio [0] = 1.003\nMain Adjust Ratio [0] = 0.995\nAux KP FL Ratio [0] = ",
           "\nAux Adjust Ratio [4] = ",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 2 + 10 + 1 + 10 + 1 + 20);
}

TEST(OtpFile, RefusesShortFilesAndLeavesTheRecordZero) {
  scratch_dir dir;
  const std::string path = dir.file("short");
  const auto otp = encode_otp_data(numbered_record<zorvel_otp_data>());
  const auto interim = encode_interim_data(numbered_record<zorvel_otp_interim_data>());
  const std::string truncated = "Failed to read OTP file " + path + ": file is truncated\n";
  for (size_t length : {size_t{0}, size_t{100}, size_t{469}}) {
    write_file(path, std::string(otp.begin(), otp.begin() + length));
    zorvel_otp_data out = numbered_record<zorvel_otp_data>();
    EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_otp_data(path, out), 0); }), truncated);
    EXPECT_EQ(out, zorvel_otp_data{}) << length;
  }
  zorvel_otp_interim_data out;
  write_file(path, std::string(interim.begin(), interim.end() - 1));
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(path, out), 0); }), truncated);
  write_file(path, std::string(interim.begin(), interim.end()) + "longer files are fine");
  EXPECT_EQ(read_interim_data(path, out), 1);
  EXPECT_EQ(out, numbered_record<zorvel_otp_interim_data>());
  EXPECT_EQ(capture_stdout([&] { read_interim_data(dir.file("absent"), out); }),
            "Failed to open OTP file " + dir.file("absent") + " for reading\n");
}

TEST(OtpFile, RefusesRecordsNoCalibrationWrites) {
  scratch_dir dir;
  const std::string path = dir.file("otp");
  const auto refused = [&](size_t offset, std::string bytes) {
    auto file = encode_otp_data(numbered_record<zorvel_otp_data>());
    std::copy(bytes.begin(), bytes.end(), file.begin() + offset);
    write_file(path, std::string(file.begin(), file.end()));
    zorvel_otp_data out;
    return capture_stdout([&] { EXPECT_EQ(read_otp_data(path, out), 0); });
  };
  const std::string invalid = "OTP file " + path + " holds an invalid calibration record\n";
  EXPECT_EQ(refused(84, std::string("\0\0\xC0\x7F", 4)), invalid);                 // NaN geo[3]
  EXPECT_EQ(refused(227, std::string("\0\0\0\0\0\0\xF0\x7F", 8)), invalid);        // +inf
  EXPECT_EQ(refused(4, std::string(4, '\0')), invalid);                            // focal 0 px
  EXPECT_EQ(refused(32, std::string("\0\0\x80\xBF", 4)), invalid);                 // ratio -1

  auto interim = numbered_record<zorvel_otp_interim_data>();
  interim.l_chart_point_count = 201;
  const auto bytes = encode_interim_data(interim);
  write_file(path, std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(path, interim), 0); }),
            "OTP file " + path + " holds an invalid point count 201\n");
}

}  // namespace
}  // namespace zorvel::test
