// Accuracy against the simulator's truth: detected corners matched to the
// nearest true corner, error statistics, and the result lines each
// measurement sends back from its child process.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace zorvel::bench {

struct point2 {
  double row = 0.0, col = 0.0;
};

// "n r0 c0 r1 c1 ..." — corners as one line of text.
inline std::string encode_points(const std::vector<point2>& points) {
  std::string text = std::to_string(points.size());
  char cell[48];
  for (const point2& p : points) {
    std::snprintf(cell, sizeof cell, " %.3f %.3f", p.row, p.col);
    text += cell;
  }
  return text;
}

inline std::vector<point2> decode_points(const std::string& text) {
  std::istringstream in(text);
  size_t n = 0;
  std::vector<point2> points;
  if (!(in >> n)) return points;
  for (size_t i = 0; i < n; ++i) {
    point2 p;
    if (!(in >> p.row >> p.col)) break;
    points.push_back(p);
  }
  return points;
}

inline std::vector<double> decode_numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<double> values;
  double v = 0.0;
  while (in >> v) values.push_back(v);
  return values;
}

struct corner_errors {
  int32_t matched = 0;  // detections within reach of a true corner
  int32_t stray = 0;    // detections near no true corner
  int32_t truth = 0;    // true corners in the image
  double mean = 0.0, p95 = 0.0, max = 0.0;
};

// Each detection is matched to the nearest true corner closer than
// max_distance pixels (a fraction of the square pitch, so matches are
// unambiguous); the error is the Euclidean distance.
inline corner_errors corner_errors_against(const std::vector<point2>& found,
                                           const std::vector<point2>& truth,
                                           double max_distance) {
  corner_errors e;
  e.truth = static_cast<int32_t>(truth.size());
  std::vector<double> d;
  for (const point2& p : found) {
    double best = max_distance;
    bool hit = false;
    for (const point2& t : truth) {
      const double dist = std::hypot(p.row - t.row, p.col - t.col);
      if (dist < best) {
        best = dist;
        hit = true;
      }
    }
    if (hit) {
      d.push_back(best);
    } else {
      ++e.stray;
    }
  }
  e.matched = static_cast<int32_t>(d.size());
  if (d.empty()) return e;
  std::sort(d.begin(), d.end());
  double sum = 0.0;
  for (double v : d) sum += v;
  e.mean = sum / static_cast<double>(d.size());
  // Nearest-rank 95th percentile.
  const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(d.size())));
  e.p95 = d[std::max<size_t>(rank, 1) - 1];
  e.max = d.back();
  return e;
}

inline void print_corner_header() {
  std::printf("%-10s %-44s %9s %6s %8s %8s %8s\n", "preset", "detector", "found", "stray",
              "mean px", "p95 px", "max px");
}

inline void print_corner_row(const std::string& preset, const std::string& detector,
                             const corner_errors& e, const std::string& failure) {
  if (!failure.empty()) {
    std::printf("%-10s %-44s %9s %6s %8s %8s %8s  %s\n", preset.c_str(), detector.c_str(), "-",
                "-", "-", "-", "-", failure.c_str());
    return;
  }
  char found[24];
  std::snprintf(found, sizeof found, "%d/%d", e.matched, e.truth);
  std::printf("%-10s %-44s %9s %6d %8.3f %8.3f %8.3f\n", preset.c_str(), detector.c_str(), found,
              e.stray, e.mean, e.p95, e.max);
}

// Calibration accuracy: signed errors of the relative angles (degrees) and
// of the main focal length (percent).
struct calibration_errors {
  double pitch = 0.0, yaw = 0.0, roll = 0.0, focal_percent = 0.0;
};

inline void print_calibration_header() {
  std::printf("%-10s %-44s %10s %10s %10s %12s\n", "preset", "pipeline", "pitch deg", "yaw deg",
              "roll deg", "main f %");
}

inline void print_calibration_row(const std::string& preset, const std::string& pipeline,
                                  const calibration_errors* e, const std::string& failure) {
  if (!e) {
    std::printf("%-10s %-44s %10s %10s %10s %12s  %s\n", preset.c_str(), pipeline.c_str(), "-",
                "-", "-", "-", failure.c_str());
    return;
  }
  std::printf("%-10s %-44s %+10.4f %+10.4f %+10.4f %+12.4f\n", preset.c_str(), pipeline.c_str(),
              e->pitch, e->yaw, e->roll, e->focal_percent);
}

}  // namespace zorvel::bench
