// The command's last step for a run with a report folder: report.png beside
// report.svg, drawn by rsvg-convert when that program is installed. The
// library itself only ever writes the SVG.
#pragma once

#include <string>

#include "driver/run_result.h"

namespace zorvel::tools {

enum class report_png_status { written, no_converter, no_svg, failed };

// Renders dir/report.svg to dir/report.png. No output of its own.
report_png_status render_report_png(const std::string& dir);

// After a run: renders the report it wrote, if it wrote one. Returns the one
// line for standard error when report.png could not be made, else "" (also
// when the run wrote no report: the run has said why).
std::string report_png_after(const zorvel_run_result& result);

}  // namespace zorvel::tools
