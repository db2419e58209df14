// The PASS/FAIL rows both runs print. Station software parses these lines, so
// widths, orders and number formats are fixed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run_result.h"

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

// Prints the rows of one table and remembers whether any failed; when rows
// is set, each row is also kept there as data.
struct zorvel_result_table {
  std::FILE* out;
  std::vector<zorvel_run_row>* rows = nullptr;
  bool any_fail = false;

  const char* verdict(float value, float threshold, bool measured) {
    const bool pass = row_passes(value, threshold, measured);
    if (!pass) any_fail = true;
    return pass ? "PASS" : "FAIL";
  }
  // verdict() and the row kept as data under its printed name.
  const char* judge(std::string name, float value, float threshold, bool measured,
                    int fov_percent = -1, int percentile = -1) {
    const char* v = verdict(value, threshold, measured);
    if (rows) {
      rows->push_back(zorvel_run_row{std::move(name), value, threshold, measured,
                                     row_passes(value, threshold, measured), fov_percent,
                                     percentile});
    }
    return v;
  }
  void header() { std::fprintf(out, "%60s %6s %10s %6s\n", "Metric", "Value", "Threshold", "Result"); }
  void row(const char* name, float value, float threshold, bool measured = true) {
    const char* v = judge(name, value, threshold, measured);
    std::fprintf(out, "%60s %6.2f %10.2f %6s\n", name, static_cast<double>(value),
                 static_cast<double>(threshold), v);
  }
  // value_tenths is a metric byte in tenths of a pixel.
  void percentile_row(const char* name, int fov_percent, int percentile, uint8_t value_tenths,
                      float threshold, bool measured = true) {
    const float value = static_cast<float>(value_tenths) / 10.0f;
    const char* v = judge(std::string(name) + " " + std::to_string(fov_percent) + " / " +
                              std::to_string(percentile) + " ]",
                          value, threshold, measured, fov_percent, percentile);
    std::fprintf(out, "%15s %d %s %d %s %6.2f %10.2f %6s\n", name, fov_percent, "/", percentile,
                 "]", static_cast<double>(value), static_cast<double>(threshold), v);
  }
};

}  // namespace zorvel
