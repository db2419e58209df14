// What a verification run prints about the record it read, and the byte
// coding of the focal-length adjustment ratios.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "otp/otp_codec.h"

namespace zorvel {
namespace {

// 180 / 3.14159: the stations' angles were always printed with this
// approximation of pi, so it stays.
constexpr double kDegreesPerRadian = 57.295827908797776;

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
  const auto r = [&](int row, int column) {
    return static_cast<double>(record.rot[3 * row + column]);
  };
  const double pitch =
      std::atan2(-r(2, 0), std::sqrt(r(2, 1) * r(2, 1) + r(2, 2) * r(2, 2))) * kDegreesPerRadian;
  const double yaw = std::atan2(r(2, 1), r(2, 2)) * kDegreesPerRadian;
  const double roll = std::atan2(r(1, 0), r(0, 0)) * kDegreesPerRadian;
  print_line(out, "relative_pitch_degrees=", pitch, 6);
  print_line(out, "relative_yaw_degrees=", yaw, 6);
  print_line(out, "relative_roll_degrees=", roll, 6);

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
