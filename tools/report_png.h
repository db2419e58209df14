// The command's last step for a run with a report folder: report.png beside
// report.svg, drawn by rsvg-convert when that program is installed. The
// library itself only ever writes the SVG.
#pragma once

#include <string>

namespace zorvel::tools {

enum class report_png_status { written, no_converter, no_svg, failed };

// Renders dir/report.svg to dir/report.png. No output of its own.
report_png_status render_report_png(const std::string& dir);

// One line for standard error about a status other than written, "" for written.
std::string report_png_message(report_png_status status, const std::string& dir);

}  // namespace zorvel::tools
