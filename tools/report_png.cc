#include "report_png.h"

#include <sys/stat.h>

#include "converter_run.h"

namespace zorvel::tools {

report_png_status render_report_png(const std::string& dir) {
  const std::string svg = dir + "/report.svg", png = dir + "/report.png";
  struct stat st {};
  if (::stat(svg.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return report_png_status::no_svg;
  switch (run_svg_to_png(svg, png)) {
    case converter_outcome::succeeded:
      return report_png_status::written;
    case converter_outcome::not_installed:
      return report_png_status::no_converter;
    case converter_outcome::failed:
      break;
  }
  return report_png_status::failed;
}

std::string report_png_after(const zorvel_run_result& result) {
  const std::string& dir = result.report_dir;
  if (dir.empty()) return "";
  for (const std::string& note : result.notes) {
    if (note.rfind("report not written", 0) == 0) return "";  // an older report.svg is not this run's
  }
  switch (render_report_png(dir)) {
    case report_png_status::written:
    case report_png_status::no_svg:
      return "";
    case report_png_status::no_converter:
      return "report.png not made: rsvg-convert is not installed (" + dir + "/report.svg is the picture)";
    case report_png_status::failed:
      break;
  }
  return "report.png not made: rsvg-convert failed on " + dir + "/report.svg";
}

}  // namespace zorvel::tools
