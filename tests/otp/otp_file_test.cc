// OTP and interim files: exact sizes and byte positions, round trips, the
// printed summary and the refusal of short or implausible files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "otp/otp_codec.h"
#include "otp/otp_record.h"
#include "otp_test_records.h"
#include "support/test_support.h"

namespace zorvel {
namespace {

using test::capture_stdout;
using test::numbered_record;
using test::read_file;
using test::scratch_dir;
using test::write_file;

std::string bytes_at(const std::string& file, size_t offset, size_t count) {
  return file.substr(offset, count);
}

TEST(OtpFile, RoundTripsBothRecordsAtTheirExactSizes) {
  scratch_dir dir;
  const auto otp = numbered_record<zorvel_otp_data>();
  ASSERT_EQ(write_otp_data(dir.file("otp.bin"), otp), 1);
  EXPECT_EQ(read_file(dir.file("otp.bin")).size(), 470u);
  zorvel_otp_data otp_back;
  capture_stdout([&] { EXPECT_EQ(read_otp_data(dir.file("otp.bin"), otp_back), 1); });
  EXPECT_EQ(otp_back, otp);

  const auto interim = numbered_record<zorvel_otp_interim_data>();
  ASSERT_EQ(write_interim_data(dir.file("interim.bin"), interim), 1);
  EXPECT_EQ(read_file(dir.file("interim.bin")).size(), 2577u);
  zorvel_otp_interim_data interim_back;
  EXPECT_EQ(capture_stdout([&] {
              EXPECT_EQ(read_interim_data(dir.file("interim.bin"), interim_back), 1);
            }),
            "");
  EXPECT_EQ(interim_back, interim);
}

TEST(OtpFile, StoresFieldsLittleEndianAtFixedOffsets) {
  zorvel_otp_data otp = numbered_record<zorvel_otp_data>();
  otp.version = 0x10607;
  otp.main_native_width = 0x0FA0;
  otp.aux_focal_length_ratio = 2.0f;             // 0x40000000
  otp.rot[0] = -1.0f;                            // 0xBF800000
  otp.geo[31] = 0.5f;                            // 0x3F000000
  otp.main_aux_position_flag = 0xBEEF;
  otp.cam_baseline_mm = 1.5f;                    // 0x3FC00000, no gap before it
  otp.dewarp_version = 4;
  otp.aux_dewarp_coeff[0] = 0.25;                // 0x3FD0000000000000
  otp.hd_rms_zoned_tenths[8] = -3;
  otp.reserved = 0;
  otp.aux_warp_coeff[4] = -2.0;                  // 0xC000000000000000
  const uint8_t ratios[20] = {30, 0, 255, 1, 2, 0xCE, 0x7F, 0x80, 0, 1,
                              3, 4, 5, 6, 7, 0xFF, 8, 9, 10, 11};
  std::memcpy(otp.main_kp_fl_ratio, ratios, 5);
  std::memcpy(otp.main_adjust_ratio, ratios + 5, 5);
  std::memcpy(otp.aux_kp_fl_ratio, ratios + 10, 5);
  std::memcpy(otp.aux_adjust_ratio, ratios + 15, 5);

  const auto v = encode_otp_data(otp);
  const std::string file(v.begin(), v.end());
  ASSERT_EQ(file.size(), 470u);
  EXPECT_EQ(bytes_at(file, 0, 4), std::string("\x07\x06\x01\x00", 4));
  EXPECT_EQ(bytes_at(file, 8, 2), std::string("\xA0\x0F", 2));
  EXPECT_EQ(bytes_at(file, 32, 4), std::string("\x00\x00\x00\x40", 4));
  EXPECT_EQ(bytes_at(file, 36, 4), std::string("\x00\x00\x80\xBF", 4));
  EXPECT_EQ(bytes_at(file, 72 + 31 * 4, 4), std::string("\x00\x00\x00\x3F", 4));
  EXPECT_EQ(bytes_at(file, 208, 2), std::string("\xEF\xBE", 2));
  EXPECT_EQ(bytes_at(file, 210, 4), std::string("\x00\x00\xC0\x3F", 4));
  EXPECT_EQ(bytes_at(file, 226, 1), std::string("\x04", 1));
  EXPECT_EQ(bytes_at(file, 227, 8), std::string("\0\0\0\0\0\0\xD0\x3F", 8));
  EXPECT_EQ(bytes_at(file, 314, 1), std::string("\xFD", 1));
  EXPECT_EQ(bytes_at(file, 325, 1), std::string("\0", 1));
  EXPECT_EQ(bytes_at(file, 442, 8), std::string("\0\0\0\0\0\0\0\xC0", 8));
  EXPECT_EQ(bytes_at(file, 450, 20), std::string(reinterpret_cast<const char*>(ratios), 20));

  zorvel_otp_interim_data interim = numbered_record<zorvel_otp_interim_data>();
  interim.l_chart_point_count = 200;
  interim.main_l_point_y[0] = -2;                // 0xFFFE
  interim.aux_l_point_x[199] = 0x1234;
  interim.main_l_label_yw[0] = -7;
  interim.aux_l_label_xw[199] = 9;
  interim.main_fl_dewarping_reference = 1.0f;    // 0x3F800000
  const auto w = encode_interim_data(interim);
  const std::string interim_file(w.begin(), w.end());
  ASSERT_EQ(interim_file.size(), 2577u);
  EXPECT_EQ(bytes_at(interim_file, 129, 4), std::string("\xC8\0\0\0", 4));
  EXPECT_EQ(bytes_at(interim_file, 133, 2), std::string("\xFE\xFF", 2));
  EXPECT_EQ(bytes_at(interim_file, 1333 + 398, 2), std::string("\x34\x12", 2));
  EXPECT_EQ(bytes_at(interim_file, 1733, 1), std::string("\xF9", 1));
  EXPECT_EQ(bytes_at(interim_file, 2532, 1), std::string("\x09", 1));
  EXPECT_EQ(bytes_at(interim_file, 2573, 4), std::string("\x00\x00\x80\x3F", 4));
}

TEST(OtpFile, CodesRatiosAsTenThousandthsAboveOne) {
  EXPECT_FLOAT_EQ(decode_ratio_byte(30), 1.003f);
  EXPECT_FLOAT_EQ(decode_ratio_byte(int8_t{-50}), 0.995f);
  EXPECT_FLOAT_EQ(decode_ratio_byte(uint8_t{255}), 1.0255f);
  EXPECT_FLOAT_EQ(decode_ratio_byte(int8_t{-128}), 0.9872f);
  EXPECT_EQ(encode_ratio_byte(1.003f), 30);
  EXPECT_EQ(encode_ratio_byte(1.0f), 0);
  // trunc in double of the single-precision ratio: 0.995f is 0.99500000477.
  EXPECT_EQ(static_cast<int8_t>(encode_ratio_byte(0.995f)), -49);
  // Kept to the low 8 bits: 625 -> 113, -625 -> -113.
  EXPECT_EQ(encode_ratio_byte(1.0625f), 113);
  EXPECT_EQ(static_cast<int8_t>(encode_ratio_byte(0.9375f)), -113);
  EXPECT_EQ(encode_ratio_byte(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(OtpFile, ReadingPrintsTheSummary) {
  zorvel_otp_data otp;
  otp.main_focal_length_px = otp.aux_focal_length_px = 1000.0f;
  otp.main_focal_length_ratio = otp.aux_focal_length_ratio = 1.0f;
  otp.rot[0] = otp.rot[4] = otp.rot[8] = 1.0f;
  otp.dewarp_version = 4;
  otp.aux_dewarp_coeff[1] = 0.1;
  otp.aux_warp_coeff[4] = -1.0 / 3.0;
  otp.aux_fl_dewarping_reference = 0.1f;
  otp.main_dewarp_coeff[0] = 1.0;
  otp.main_warp_coeff[2] = 2.5;
  otp.main_fl_dewarping_reference = 1280.0f;
  otp.main_kp_fl_ratio[0] = 30;
  otp.main_adjust_ratio[0] = -50;
  otp.aux_kp_fl_ratio[4] = 255;
  otp.aux_adjust_ratio[4] = 127;
  scratch_dir dir;
  ASSERT_EQ(write_otp_data(dir.file("otp.bin"), otp), 1);
  zorvel_otp_data back;
  const std::string text = capture_stdout([&] { read_otp_data(dir.file("otp.bin"), back); });

  const std::string zero = "0.0000000000000000";
  std::string expected =
      "relative_pitch_degrees=-0.000000\n"
      "relative_yaw_degrees=0.000000\n"
      "relative_roll_degrees=0.000000\n"
      "Dewarp Version = 0x4\n\n"
      "Aux Dewarp coeff0=" + zero + "\nAux Dewarp coeff1=0.1000000000000000\n"
      "Aux Dewarp coeff2=" + zero + "\nAux Dewarp coeff3=" + zero + "\nAux Dewarp coeff4=" + zero +
      "\nAux Warp coeff0=" + zero + "\nAux Warp coeff1=" + zero + "\nAux Warp coeff2=" + zero +
      "\nAux Warp coeff3=" + zero + "\nAux Warp coeff4=-0.3333333333333333\n"
      "Aux fl_dewarping_reference=0.1000000014901161\n"
      "Main Dewarp coeff0=1.0000000000000000\nMain Dewarp coeff1=" + zero +
      "\nMain Dewarp coeff2=" + zero + "\nMain Dewarp coeff3=" + zero + "\nMain Dewarp coeff4=" +
      zero + "\nMain Warp coeff0=" + zero + "\nMain Warp coeff1=" + zero +
      "\nMain Warp coeff2=2.5000000000000000\nMain Warp coeff3=" + zero + "\nMain Warp coeff4=" +
      zero + "\nMain fl_dewarping_reference=1280.0000000000000000\n";
  for (int i = 0; i < 5; ++i) {
    const std::string n = std::to_string(i);
    expected += "Main KP FL Ratio [" + n + "] = " + (i == 0 ? "1.003" : "1.000") + "\n";
    expected += "Main Adjust Ratio [" + n + "] = " + (i == 0 ? "0.995" : "1.000") + "\n";
    expected += "Aux KP FL Ratio [" + n + "] = " + (i == 4 ? "1.026" : "1.000") + "\n";
    expected += "Aux Adjust Ratio [" + n + "] = " + (i == 4 ? "1.013" : "1.000") + "\n";
  }
  EXPECT_EQ(text, expected);
}

TEST(OtpFile, AnglesUseTheStationsPiApproximation) {
  // Yaw of one degree reads 1.000001 with 180 / 3.14159.
  zorvel_otp_data otp;
  otp.rot[0] = otp.rot[4] = 1.0f;
  otp.rot[7] = static_cast<float>(std::sin(std::numbers::pi / 180.0));
  otp.rot[8] = static_cast<float>(std::cos(std::numbers::pi / 180.0));
  const std::string text = capture_stdout([&] { print_otp_summary(stdout, otp); });
  EXPECT_NE(text.find("relative_yaw_degrees=1.000001\n"), std::string::npos) << text;
}

TEST(OtpFile, RefusesShortFilesAndLeavesTheRecordZero) {
  scratch_dir dir;
  const auto full = encode_otp_data(numbered_record<zorvel_otp_data>());
  for (size_t length : {size_t{0}, size_t{100}, size_t{469}}) {
    const std::string path = dir.file("short.bin");
    write_file(path, std::string(full.begin(), full.begin() + length));
    zorvel_otp_data out = numbered_record<zorvel_otp_data>();
    const std::string text = capture_stdout([&] { EXPECT_EQ(read_otp_data(path, out), 0); });
    EXPECT_EQ(text, "Failed to read OTP file " + path + ": file is truncated\n");
    EXPECT_EQ(out, zorvel_otp_data{}) << length;
  }
  const auto interim = encode_interim_data(numbered_record<zorvel_otp_interim_data>());
  const std::string path = dir.file("interim.bin");
  write_file(path, std::string(interim.begin(), interim.end() - 1));
  zorvel_otp_interim_data out;
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(path, out), 0); }),
            "Failed to read OTP file " + path + ": file is truncated\n");

  // Longer files stay accepted; the extra bytes are ignored.
  write_file(path, std::string(interim.begin(), interim.end()) + "trailing");
  capture_stdout([&] { EXPECT_EQ(read_interim_data(path, out), 1); });
  EXPECT_EQ(out, numbered_record<zorvel_otp_interim_data>());

  const std::string missing = dir.file("missing.bin");
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(missing, out), 0); }),
            "Failed to open OTP file " + missing + " for reading\n");
}

TEST(OtpFile, RefusesRecordsNoCalibrationWrites) {
  scratch_dir dir;
  const std::string path = dir.file("otp.bin");
  const auto good = numbered_record<zorvel_otp_data>();
  const auto spoil = [&](auto change) {
    auto bytes = encode_otp_data(good);
    change(bytes);
    write_file(path, std::string(bytes.begin(), bytes.end()));
    zorvel_otp_data out;
    const std::string text = capture_stdout([&] { EXPECT_EQ(read_otp_data(path, out), 0); });
    EXPECT_EQ(out, zorvel_otp_data{});
    return text;
  };
  const std::string invalid = "OTP file " + path + " holds an invalid calibration record\n";
  // NaN in geo[3], +inf in aux_dewarp_coeff[0], zero main focal length,
  // negative aux ratio.
  EXPECT_EQ(spoil([](auto& b) { b[72 + 12 + 3] = 0x7F; b[72 + 12 + 2] = 0xC0; }), invalid);
  EXPECT_EQ(spoil([](auto& b) {
              for (int i = 0; i < 6; ++i) b[227 + i] = 0;
              b[233] = 0xF0;
              b[234] = 0x7F;
            }),
            invalid);
  EXPECT_EQ(spoil([](auto& b) { for (int i = 4; i < 8; ++i) b[i] = 0; }), invalid);
  EXPECT_EQ(spoil([](auto& b) { b[35] |= 0x80; }), invalid);

  auto interim = numbered_record<zorvel_otp_interim_data>();
  interim.l_chart_point_count = 201;
  const auto bytes = encode_interim_data(interim);
  write_file(path, std::string(bytes.begin(), bytes.end()));
  zorvel_otp_interim_data out;
  EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(read_interim_data(path, out), 0); }),
            "OTP file " + path + " holds an invalid point count 201\n");
}

}  // namespace
}  // namespace zorvel
