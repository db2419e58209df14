// Drawing the picture of a run as SVG text. Everything is laid out top to
// bottom on a fixed-width page; numbers are written in the C conventions
// whatever the process locale.
#include "driver/run_report_svg.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "image/png_stored.h"
#include "otp/file_replace.h"

namespace zorvel {
namespace {

constexpr double kPage = 1320.0;   // page width
constexpr double kMargin = 20.0;
constexpr double kPanel = 630.0;   // width of one image panel
constexpr const char* kPass = "#2e7d32";
constexpr const char* kFail = "#c62828";
constexpr const char* kNeutral = "#616161";

std::string num(double v, int digits = 1) {
  if (!std::isfinite(v)) return "nan";
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, digits);
  return std::string(text, end.ptr);
}

// A legend's end label: the sign written before the number (appending, not
// adding strings, sidesteps a false GCC 12 -Wrestrict warning at -O3).
std::string with_sign(char sign, const std::string& number) {
  std::string label(1, sign);
  label += number;
  return label;
}

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string base64(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t n = static_cast<uint32_t>(bytes[i]) << 16 |
                       (i + 1 < bytes.size() ? static_cast<uint32_t>(bytes[i + 1]) << 8 : 0u) |
                       (i + 2 < bytes.size() ? static_cast<uint32_t>(bytes[i + 2]) : 0u);
    out += kDigits[n >> 18 & 63];
    out += kDigits[n >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

class svg_page {
 public:
  void text(double x, double y, std::string_view s, double size = 14, const char* fill = "#212121",
            const char* extra = "") {
    body_ += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-size=\"" + num(size) + "\" fill=\"" + fill +
             "\" " + extra + ">" + escaped(s) + "</text>\n";
  }
  void rect(double x, double y, double w, double h, std::string_view fill, std::string_view extra = "") {
    body_ += "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" + num(h) +
             "\" fill=\"" + std::string(fill) + "\" " + std::string(extra) + "/>\n";
  }
  void circle(double x, double y, double radius, std::string_view fill, std::string_view extra = "") {
    body_ += "<circle cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(radius) + "\" fill=\"" +
             std::string(fill) + "\" " + std::string(extra) + "/>\n";
  }
  void raw(std::string_view s) { body_ += s; }

  std::string document(double height) const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" +
           num(kPage, 0) + "\" height=\"" + num(height, 0) + "\" viewBox=\"0 0 " + num(kPage, 0) + " " +
           num(height, 0) + "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n" +
           "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n" + body_ + "</svg>\n";
  }

 private:
  std::string body_;
};

const char* run_name(zorvel_run_kind kind) {
  switch (kind) {
    case zorvel_run_kind::l_and_flat: return "CALIBRATION (L + flat chart)";
    case zorvel_run_kind::l_only: return "CALIBRATION (L chart only)";
    case zorvel_run_kind::flat_only: return "CALIBRATION (flat chart only)";
    case zorvel_run_kind::verification: return "VERIFICATION";
    case zorvel_run_kind::none: break;
  }
  return "RUN";
}

double banner(svg_page& page, const zorvel_run_result& r, double y) {
  const bool passed = r.status == zorvel_run_status::passed;
  const bool failed = r.status == zorvel_run_status::failed;
  const char* verdict = passed ? "PASSED" : failed ? "FAILED" : r.status == zorvel_run_status::diagnostic
                                                                     ? "DIAGNOSTIC, NOT JUDGED"
                                                                     : "NOT TESTED";
  page.rect(0, y, kPage, 64, passed ? kPass : failed ? kFail : kNeutral);
  page.text(kMargin, y + 42, std::string(run_name(r.kind)) + " " + verdict, 30, "#ffffff", "font-weight=\"bold\"");
  y += 64;
  std::string line = r.config_path + "   mode " + std::to_string(r.mode) + "   library result " +
                     std::to_string(r.result);
  if (!r.record.kind.empty()) {
    line += r.record.written ? "   " + r.record.kind + " record written to " + r.record.path
                             : "   no " + r.record.kind + " record written" +
                                   (r.record.why_not.empty() ? "" : ": " + r.record.why_not);
  }
  page.text(kMargin, y + 22, line, 14);
  y += 30;
  if (!r.failure_message.empty()) {
    page.text(kMargin, y + 16, (r.failed_stage.empty() ? "" : r.failed_stage + ": ") + r.failure_message, 14, kFail);
    y += 24;
  }
  return y + 6;
}

double table(svg_page& page, const zorvel_run_result& r, double y) {
  if (r.rows.empty()) return y;
  if (!r.table.empty()) page.text(kMargin, y + 18, r.table, 16, "#212121", "font-weight=\"bold\"");
  y += 28;
  const double name_w = 720, col = 130, h = 24;
  page.text(kMargin + 6, y + 17, "Metric", 13, kNeutral);
  page.text(kMargin + name_w, y + 17, "Value", 13, kNeutral);
  page.text(kMargin + name_w + col, y + 17, "Threshold", 13, kNeutral);
  page.text(kMargin + name_w + 2 * col, y + 17, "Result", 13, kNeutral);
  y += h;
  for (size_t i = 0; i < r.rows.size(); ++i) {
    const zorvel_run_row& row = r.rows[i];
    if (i % 2 == 0) page.rect(kMargin, y, name_w + 3 * col, h, "#f5f5f5");
    page.text(kMargin + 6, y + 17, row.name, 14);
    page.text(kMargin + name_w, y + 17, row.measured ? num(static_cast<double>(row.value), 2) : "not measured", 14);
    page.text(kMargin + name_w + col, y + 17, num(static_cast<double>(row.threshold), 2), 14);
    page.rect(kMargin + name_w + 2 * col, y + 2, 90, h - 4, row.pass ? kPass : kFail, "rx=\"4\"");
    page.text(kMargin + name_w + 2 * col + 45, y + 17, row.pass ? "PASS" : "FAIL", 14, "#ffffff",
              "text-anchor=\"middle\" font-weight=\"bold\"");
    y += h;
  }
  std::string extra;
  if (r.angles.present) {
    extra = "relative pitch " + num(r.angles.pitch_deg, 3) + " deg, yaw " + num(r.angles.yaw_deg, 3) +
            " deg, roll " + num(r.angles.roll_deg, 3) + " deg";
  }
  if (r.focal.present) {
    extra += (extra.empty() ? "" : "    ") + std::string("focal length main ") +
             num(static_cast<double>(r.focal.main_px), 1) + " px, aux " + num(static_cast<double>(r.focal.aux_px), 1) +
             " px";
  }
  if (!extra.empty()) {
    page.text(kMargin, y + 22, extra, 14);
    y += 28;
  }
  return y + 10;
}

// A colour for a grid label: the column label picks the hue, odd rows are
// lighter, so neighbouring corners never share a colour.
std::string label_colour(const zorvel_run_point& p) {
  const int hue = ((p.Xw * 47 + p.Zw * 120) % 360 + 360) % 360;
  return "hsl(" + std::to_string(hue) + ",85%," + (p.Yw % 2 == 0 ? "45%" : "65%") + ")";
}

const zorvel_run_image* image_named(const zorvel_run_result& r, std::string_view name) {
  for (const auto& img : r.images) {
    if (img.image == name && img.width > 0 && img.height > 0) return &img;
  }
  return nullptr;
}

const zorvel_run_key_points* points_of(const zorvel_run_result& r, std::string_view name) {
  for (const auto& kp : r.key_points) {
    if (kp.image == name) return &kp;
  }
  return nullptr;
}

// The working image at (x, y), scaled by s working pixels per page unit; a
// grey field when the run kept no image. Returns the panel height.
double working_image(svg_page& page, const zorvel_run_image* img, int32_t work_w, int32_t work_h, double x,
                     double y, double s, double opacity = 1.0) {
  const double w = work_w * s, h = work_h * s;
  if (!img) {
    page.rect(x, y, w, h, "#bdbdbd");
    return h;
  }
  const std::vector<uint8_t> png = encode_png_rgb(img->width, img->height, img->rgb);
  page.raw("<image x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" + num(h) +
           "\" preserveAspectRatio=\"none\" opacity=\"" + num(opacity, 2) +
           "\" xlink:href=\"data:image/png;base64," + base64(png) + "\"/>\n");
  return h;
}

void working_size(const zorvel_run_image* img, const zorvel_run_key_points* kp, int32_t& w, int32_t& h) {
  w = kp && kp->width > 0 ? kp->width : img ? img->width * img->reduction : 1280;
  h = kp && kp->height > 0 ? kp->height : img ? img->height * img->reduction : 960;
}

double image_pair(svg_page& page, const zorvel_run_result& r, std::string_view chart, double y) {
  const std::string names[2] = {"main " + std::string(chart), "aux " + std::string(chart)};
  if (!points_of(r, names[0]) && !points_of(r, names[1]) && !image_named(r, names[0])) return y;
  double tallest = 0;
  for (int side = 0; side < 2; ++side) {
    const zorvel_run_image* img = image_named(r, names[side]);
    const zorvel_run_key_points* kp = points_of(r, names[side]);
    int32_t w = 0, h = 0;
    working_size(img, kp, w, h);
    const double x0 = kMargin + side * (kPanel + 20), y0 = y + 26, s = kPanel / w;
    std::string caption = names[side];
    if (kp) {
      caption += kp->detected < 0 ? ": no origin found"
                                  : ": " + std::to_string(kp->detected) + " corners" +
                                        (kp->paired >= 0 ? ", " + std::to_string(kp->paired) + " paired" : "");
    }
    page.text(x0, y + 18, caption, 15, "#212121", "font-weight=\"bold\"");
    tallest = std::max(tallest, working_image(page, img, w, h, x0, y0, s));
    if (!kp) continue;
    for (const auto& p : kp->points) {
      page.circle(x0 + p.x * s, y0 + p.y * s, 4.5, label_colour(p), "stroke=\"#000000\" stroke-width=\"0.8\"");
    }
    if (!kp->points.empty()) {
      const auto& o = kp->points.front();
      page.circle(x0 + o.x * s, y0 + o.y * s, 11, "none", "stroke=\"#ffeb3b\" stroke-width=\"3\"");
      page.circle(x0 + o.x * s, y0 + o.y * s, 14, "none", "stroke=\"#000000\" stroke-width=\"1.5\"");
      page.text(x0 + o.x * s + 16, y0 + o.y * s - 8, "origin", 13, "#000000",
                "stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\"");
    }
  }
  return y + 26 + tallest + 16;
}

// Blue for negative, white at 0, red for positive, saturated at +-span.
std::string diverging(double v, double span) {
  const double t = std::clamp(v / span, -1.0, 1.0);
  const int fade = static_cast<int>(std::lround(255.0 * (1.0 - std::fabs(t))));
  const int r = t >= 0 ? 255 : fade, b = t <= 0 ? 255 : fade, g = fade;
  return "rgb(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")";
}

double disparity_maps(svg_page& page, const zorvel_run_result& r, double y) {
  const zorvel_run_disparity_field& d = r.disparities;
  if (d.points.empty()) return y;
  const std::string main_name = "main " + (d.chart.empty() ? std::string("flat") : d.chart);
  const zorvel_run_image* img = image_named(r, main_name);
  const int32_t w = d.width > 0 ? d.width : 1280, h = d.height > 0 ? d.height : 960;
  const double s = kPanel / w;
  double tallest = 0;
  for (int which = 0; which < 2; ++which) {
    double span = 0.5;  // at least half a pixel, so noise does not look like a fault
    for (const auto& p : d.points) {
      const double v = which == 0 ? static_cast<double>(p.vd) : static_cast<double>(p.hd_deviation);
      if (std::isfinite(v)) span = std::max(span, std::fabs(v));
    }
    const double x0 = kMargin + which * (kPanel + 20), y0 = y + 26;
    page.text(x0, y + 18,
              which == 0 ? "Vertical disparity per corner pair [px]" : "Horizontal disparity minus its mean [px]",
              15, "#212121", "font-weight=\"bold\"");
    tallest = std::max(tallest, working_image(page, img, w, h, x0, y0, s, 0.35));
    const double dot = std::clamp(kPanel / 90.0, 3.0, 6.0);
    for (const auto& p : d.points) {
      const double v = which == 0 ? static_cast<double>(p.vd) : static_cast<double>(p.hd_deviation);
      page.circle(x0 + static_cast<double>(p.x) * s, y0 + static_cast<double>(p.y) * s, dot, std::isfinite(v) ? diverging(v, span) : "#000000",
                  "stroke=\"#424242\" stroke-width=\"0.5\"");
    }
    // Legend: -span, 0, +span.
    const double ly = y0 + h * s + 8;
    for (int i = 0; i < 21; ++i) page.rect(x0 + 200 + i * 10, ly, 10, 12, diverging((i - 10) / 10.0 * span, span));
    page.text(x0 + 195, ly + 11, with_sign('-', num(span, 2)), 12, "#212121", "text-anchor=\"end\"");
    page.text(x0 + 305, ly + 28, "0", 12, "#212121", "text-anchor=\"middle\"");
    page.text(x0 + 415, ly + 11, with_sign('+', num(span, 2)) + " px", 12);
  }
  return y + 26 + tallest + 48;
}

// The first table row whose name starts with prefix, null if none.
const zorvel_run_row* row_named(const zorvel_run_result& r, std::string_view prefix) {
  for (const auto& row : r.rows) {
    if (row.name.rfind(prefix, 0) == 0) return &row;
  }
  return nullptr;
}

double zone_maps(svg_page& page, const zorvel_run_result& r, double y) {
  if (!r.zones.present) return y;
  const struct {
    const double* values;
    const char* title;
    const char* row;
  } maps[2] = {
      {r.zones.vd, "RMS vertical disparity per zone [px]", "Flat-chart: Residual vertical disparity"},
      {r.zones.hd, "RMS horizontal disparity per zone minus the mean [px]", "Flat-chart: STDEV of Horizontal"},
  };
  const double cell = 90;
  for (int m = 0; m < 2; ++m) {
    const zorvel_run_row* row = row_named(r, maps[m].row);
    const double threshold = row ? static_cast<double>(row->threshold) : std::numeric_limits<double>::quiet_NaN();
    const double x0 = kMargin + m * (kPanel + 20);
    page.text(x0, y + 18, maps[m].title, 15, "#212121", "font-weight=\"bold\"");
    page.text(x0, y + 38,
              row ? "against " + num(threshold, 2) + ", the threshold of \"" + row->name + "\"; laid out as the image"
                  : std::string("no threshold row in this run; laid out as the image"),
              12, kNeutral);
    // Zone k = 3 x column band + row band.
    for (int k = 0; k < 9; ++k) {
      const double v = maps[m].values[k];
      const double cx = x0 + (k / 3) * cell, cy = y + 48 + (k % 3) * cell;
      const bool within = std::isfinite(threshold) ? std::fabs(v) <= threshold : true;
      page.rect(cx, cy, cell - 4, cell - 4, std::isfinite(threshold) ? (within ? "#c8e6c9" : "#ffcdd2") : "#eeeeee",
                std::string("stroke=\"") + (within ? kPass : kFail) + "\" stroke-width=\"2\"");
      page.text(cx + (cell - 4) / 2, cy + cell / 2 + 4, num(v, 1), 20, within ? kPass : kFail,
                "text-anchor=\"middle\" font-weight=\"bold\"");
    }
  }
  return y + 48 + 3 * cell + 16;
}

double notes(svg_page& page, const zorvel_run_result& r, double y) {
  for (const auto& line : r.notes) {
    page.text(kMargin, y + 16, line, 13, kFail);
    y += 20;
  }
  return y;
}

}  // namespace

std::string run_report_svg(const zorvel_run_result& r) {
  svg_page page;
  double y = banner(page, r, 0);
  y = table(page, r, y);
  y = image_pair(page, r, "L", y);
  y = image_pair(page, r, "flat", y);
  y = disparity_maps(page, r, y);
  y = zone_maps(page, r, y);
  y = notes(page, r, y);
  return page.document(y + kMargin);
}

bool write_run_report_svg(const zorvel_run_result& r, const std::string& dir, std::string& why) {
  try {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
      why = "no such folder";
      return false;
    }
    if (!S_ISDIR(st.st_mode)) {
      why = "not a folder";
      return false;
    }
    const std::string text = run_report_svg(r);
    const std::string path = dir + "/" + kReportSvgName;
    if (replace_file(path, reinterpret_cast<const uint8_t*>(text.data()), text.size()) != replace_status::ok) {
      why = "cannot write " + path;
      return false;
    }
    return true;
  } catch (...) {
    why = "internal error while drawing";
    return false;
  }
}

}  // namespace zorvel
