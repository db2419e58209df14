// The PASS/FAIL rows both runs print. Station software parses these lines, so
// widths, orders and number formats are fixed.
#pragma once

#include <cstdint>
#include <cstdio>

namespace zorvel {

inline constexpr const char* kFlatResidualVdRow = "Flat-chart: Residual vertical disparity [pixels]";
inline constexpr const char* kFlatHdStdevRow = "Flat-chart: STDEV of Horizontal Disparity";
inline constexpr const char* kFlatScaleDifferenceRow = "Flat-chart: Scale difference [%]";
inline constexpr const char* kFlatVdPercentileRow =
    "Flat-chart: Vertical Disparity [ FOV/Percentile = ";
inline constexpr const char* kFlatHdPercentileRow =
    "Flat-chart:Horiz disparity Var [ FOV/Percentile = ";

// A row passes only when its value could be measured and value <= threshold
// (compared as floats); a NaN on either side fails.
inline bool row_passes(float value, float threshold, bool measured = true) {
  return measured && value <= threshold;
}

// Prints the rows of one table and remembers whether any failed.
struct zorvel_result_table {
  std::FILE* out;
  bool any_fail = false;

  const char* verdict(float value, float threshold, bool measured) {
    const bool pass = row_passes(value, threshold, measured);
    if (!pass) any_fail = true;
    return pass ? "PASS" : "FAIL";
  }
  void header() { std::fprintf(out, "%60s %6s %10s %6s\n", "Metric", "Value", "Threshold", "Result"); }
  void row(const char* name, float value, float threshold, bool measured = true) {
    const char* v = verdict(value, threshold, measured);
    std::fprintf(out, "%60s %6.2f %10.2f %6s\n", name, static_cast<double>(value),
                 static_cast<double>(threshold), v);
  }
  // value_tenths is a metric byte in tenths of a pixel.
  void percentile_row(const char* name, int fov_percent, int percentile, uint8_t value_tenths,
                      float threshold, bool measured = true) {
    const float value = static_cast<float>(value_tenths) / 10.0f;
    const char* v = verdict(value, threshold, measured);
    std::fprintf(out, "%15s %d %s %d %s %6.2f %10.2f %6s\n", name, fov_percent, "/", percentile,
                 "]", static_cast<double>(value), static_cast<double>(threshold), v);
  }
};

}  // namespace zorvel
