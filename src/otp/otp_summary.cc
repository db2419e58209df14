// What a verification run prints about the record it read, and the byte
// coding of the focal-length adjustment ratios.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "numerics/relative_angles.h"
#include "otp/otp_codec.h"

namespace zorvel {
namespace {

// The digits printf("%.*f") gives in the C locale, independent of the
// process locale (station software parses these lines).
std::string fixed(double value, int digits) {
  char text[512];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
  return std::string(text, end.ec == std::errc() ? end.ptr : text);
}

void print_line(std::FILE* out, const char* label, double value, int digits) {
  std::fprintf(out, "%s%s\n", label, fixed(value, digits).c_str());
}

void print_coefficients(std::FILE* out, const char* prefix, const double (&coeff)[5]) {
  for (int i = 0; i < 5; ++i) {
    std::fprintf(out, "%s%d=%s\n", prefix, i, fixed(coeff[i], 16).c_str());
  }
}

}  // namespace

float decode_ratio_byte(int stored) { return static_cast<float>(stored) / 10000.0f + 1.0f; }

void print_otp_summary(std::FILE* out, const zorvel_otp_data& record) {
  double rot[9];
  for (int i = 0; i < 9; ++i) rot[i] = static_cast<double>(record.rot[i]);
  const zorvel_relative_angles angles = relative_angles(rot);
  print_line(out, "relative_pitch_degrees=", angles.pitch_deg, 6);
  print_line(out, "relative_yaw_degrees=", angles.yaw_deg, 6);
  print_line(out, "relative_roll_degrees=", angles.roll_deg, 6);

  std::fprintf(out, "Dewarp Version = 0x%x\n\n", static_cast<unsigned>(record.dewarp_version));
  print_coefficients(out, "Aux Dewarp coeff", record.aux_dewarp_coeff);
  print_coefficients(out, "Aux Warp coeff", record.aux_warp_coeff);
  print_line(out,
             "Aux fl_dewarping_reference=", static_cast<double>(record.aux_fl_dewarping_reference),
             16);
  print_coefficients(out, "Main Dewarp coeff", record.main_dewarp_coeff);
  print_coefficients(out, "Main Warp coeff", record.main_warp_coeff);
  print_line(out, "Main fl_dewarping_reference=",
             static_cast<double>(record.main_fl_dewarping_reference), 16);

  const auto ratio = [](int stored) {
    return fixed(static_cast<double>(decode_ratio_byte(stored)), 3);
  };
  for (int i = 0; i < 5; ++i) {
    std::fprintf(out, "Main KP FL Ratio [%d] = %s\n", i, ratio(record.main_kp_fl_ratio[i]).c_str());
    std::fprintf(out, "Main Adjust Ratio [%d] = %s\n", i,
                 ratio(record.main_adjust_ratio[i]).c_str());
    std::fprintf(out, "Aux KP FL Ratio [%d] = %s\n", i, ratio(record.aux_kp_fl_ratio[i]).c_str());
    std::fprintf(out, "Aux Adjust Ratio [%d] = %s\n", i, ratio(record.aux_adjust_ratio[i]).c_str());
  }
}

}  // namespace zorvel
