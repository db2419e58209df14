// A picture of one run, read at a glance: the verdict as a banner, the table
// with PASS in green and FAIL in red, the main and aux working images side by
// side with the detected corners coloured by label and the origin circled,
// the flat chart's vertical-disparity and horizontal-disparity-deviation
// fields as colour maps over the image, and the 3 x 3 zone maps against the
// thresholds of their table rows. One self-contained SVG file: the reduced
// images are embedded as PNG data.
#pragma once

#include <string>

#include "driver/run_result.h"

namespace zorvel {

inline constexpr const char* kReportSvgName = "report.svg";

// The whole SVG document.
std::string run_report_svg(const zorvel_run_result& r);

// Writes dir/report.svg (replacing it whole). False with a one-line reason
// when dir is missing, names a file or cannot be written. Never throws.
bool write_run_report_svg(const zorvel_run_result& r, const std::string& dir, std::string& why);

}  // namespace zorvel
