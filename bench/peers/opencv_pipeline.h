// The peer: the same jobs done the usual OpenCV way, at the same working
// size. Calibration: imread, nearest resize to 1280, chessboard corners
// (default flags) refined by cornerSubPix, stereo calibration with the
// configuration's intrinsics (as given, or as the starting point with
// principal point, aspect and distortion held), per-camera solvePnP, then
// stereo rectification maps. Verification:
// imread, resize, rectification maps from the stored calibration, remap of
// both captures, corners in both, vertical disparities.
#pragma once

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "bench/peers/accuracy.h"
#include "sim/chart.h"
#include "sim/presets.h"

namespace zorvel::bench {

inline constexpr int kWorkingWidth = 1280;

struct cv_camera {
  cv::Mat K, D;
};

// What a station knows before calibrating: nominal focal length with the
// autofocus ratio of the chart distance, principal point at the working
// image's centre, and the lens polynomial re-expressed in OpenCV's radial
// terms (radii normalised by the focal length instead of the reference).
inline cv_camera known_camera(const sim::camera_model& cam, double distance_mm) {
  const double scale = static_cast<double>(cam.width) / kWorkingWidth;
  const int height = static_cast<int>(std::lround(cam.height / scale));
  const double f = cam.focal_length_mm / (cam.pixel_pitch_mm * scale) *
                   sim::focus_ratio(distance_mm, cam.focal_length_mm);
  cv_camera c;
  c.K = (cv::Mat_<double>(3, 3) << f, 0, kWorkingWidth / 2, 0, f, height / 2, 0, 0, 1);
  const double q = f / cam.lens.reference;
  c.D = (cv::Mat_<double>(1, 5) << cam.lens.coeff[1] * q * q, cam.lens.coeff[2] * std::pow(q, 4),
         0.0, 0.0, cam.lens.coeff[3] * std::pow(q, 6));
  return c;
}

inline cv::Size working_size(const sim::camera_model& cam) {
  const double scale = static_cast<double>(cam.width) / kWorkingWidth;
  return {kWorkingWidth, static_cast<int>(std::lround(cam.height / scale))};
}

inline cv::Size inner_corners(const sim::chart& c) {
  return {c.col_max - c.col_min - 1, c.row_max - c.row_min - 1};
}

// The chart's own geometry (its design without placement), in OpenCV's axes
// (x along columns, y down the rows), in the order the finder reports rows.
inline std::vector<cv::Point3f> object_points(const sim::chart& placed_design) {
  std::vector<cv::Point3f> points;
  const std::vector<sim::chart_corner> corners = sim::chart_corners(placed_design);
  for (int32_t row = placed_design.row_min + 1; row < placed_design.row_max; ++row) {
    for (int32_t col = placed_design.col_min + 1; col < placed_design.col_max; ++col) {
      for (const sim::chart_corner& k : corners) {
        if (k.row == row && k.col == col) {
          points.emplace_back(static_cast<float>(k.world[1]), static_cast<float>(k.world[0]),
                              static_cast<float>(k.world[2]));
        }
      }
    }
  }
  return points;
}

// The finder may start at either end of a non-square board; the station holds
// the chart upright, so the first corner is put at the top left.
inline void put_first_corner_top_left(std::vector<cv::Point2f>& corners) {
  if (corners.size() > 1 && corners.front().x + corners.front().y > corners.back().x + corners.back().y) {
    std::reverse(corners.begin(), corners.end());
  }
}

inline bool find_corners(const cv::Mat& grey, cv::Size pattern, bool refine,
                         std::vector<cv::Point2f>& corners) {
  if (!cv::findChessboardCorners(grey, pattern, corners)) return false;  // default flags
  if (refine) {
    cv::cornerSubPix(grey, corners, cv::Size(5, 5), cv::Size(-1, -1),
                     cv::TermCriteria(cv::TermCriteria::EPS + cv::TermCriteria::COUNT, 30, 0.01));
  }
  put_first_corner_top_left(corners);
  return true;
}

inline cv::Mat working_grey(const std::string& path, cv::Size size) {
  const cv::Mat colour = cv::imread(path, cv::IMREAD_COLOR);
  if (colour.empty()) return {};
  cv::Mat small, grey;
  cv::resize(colour, small, size, 0, 0, cv::INTER_NEAREST);
  cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
  return grey;
}

struct cv_setup {
  cv::Size main_size, aux_size;
  cv::Size l_pattern, flat_pattern;
  std::vector<cv::Point3f> l_object, flat_object;
  cv_camera main_l, aux_l;  // starting intrinsics at the L-chart distance
  double flat_over_l_main = 1.0, flat_over_l_aux = 1.0;  // autofocus ratios
  double verify_over_l_main = 1.0, verify_over_l_aux = 1.0;
};

inline cv_setup make_cv_setup(const sim::scenario& s) {
  cv_setup c;
  c.main_size = working_size(s.module.main);
  c.aux_size = working_size(s.module.aux);
  sim::l_chart_design l = s.l_chart;
  l.origin = {0, 0, 0};
  l.tilt_yaw_deg = l.tilt_pitch_deg = l.tilt_roll_deg = 0.0;
  sim::flat_chart_design f = s.flat_chart;
  f.origin = {0, 0, 0};
  f.tilt_yaw_deg = f.tilt_pitch_deg = f.tilt_roll_deg = 0.0;
  const sim::chart l_chart = sim::make_l_chart(l), flat_chart = sim::make_flat_chart(f);
  c.l_pattern = inner_corners(l_chart);
  c.flat_pattern = inner_corners(flat_chart);
  c.l_object = object_points(l_chart);
  c.flat_object = object_points(flat_chart);
  c.main_l = known_camera(s.module.main, s.l_chart_distance_mm());
  c.aux_l = known_camera(s.module.aux, s.l_chart_distance_mm());
  auto ratio = [&](const sim::camera_model& cam, double d) {
    return sim::focus_ratio(d, cam.focal_length_mm) /
           sim::focus_ratio(s.l_chart_distance_mm(), cam.focal_length_mm);
  };
  c.flat_over_l_main = ratio(s.module.main, s.flat_chart_distance_mm());
  c.flat_over_l_aux = ratio(s.module.aux, s.flat_chart_distance_mm());
  c.verify_over_l_main = ratio(s.module.main, s.verify_chart_distance_mm());
  c.verify_over_l_aux = ratio(s.module.aux, s.verify_chart_distance_mm());
  return c;
}

inline cv::Mat scaled_focal(const cv::Mat& K, double k) {
  cv::Mat out = K.clone();
  out.at<double>(0, 0) *= k;
  out.at<double>(1, 1) *= k;
  return out;
}

struct cv_calibration {
  bool ok = false;
  std::string failure;
  cv::Mat K1, D1, K2, D2, R, T;
  cv::Mat main_map1, main_map2, aux_map1, aux_map2;  // rectification at the flat distance
};

struct capture_paths {
  std::string main_l, aux_l, main_flat, aux_flat, main_verify, aux_verify;
};

// The L chart is beyond OpenCV's finders (folded, and its rows run off the
// image), so the peer calibrates from the flat chart: rotation, translation
// and both focal lengths from its one view, intrinsics of the configuration
// as the starting point. fix_intrinsics keeps the focal lengths as given.
inline cv_calibration opencv_calibrate(const capture_paths& p, const cv_setup& s, bool fix_intrinsics) {
  cv_calibration out;
  const cv::Mat images[2] = {working_grey(p.main_flat, s.main_size), working_grey(p.aux_flat, s.aux_size)};
  const char* names[2] = {"main flat", "aux flat"};
  std::vector<cv::Point2f> corners[2];
  for (int i = 0; i < 2; ++i) {
    if (images[i].empty() || !find_corners(images[i], s.flat_pattern, true, corners[i])) {
      out.failure = std::string("no board found in ") + names[i];
      return out;
    }
  }
  out.K1 = scaled_focal(s.main_l.K, s.flat_over_l_main);
  out.D1 = s.main_l.D.clone();
  out.K2 = scaled_focal(s.aux_l.K, s.flat_over_l_aux);
  out.D2 = s.aux_l.D.clone();
  cv::Mat E, F;
  const int flags = fix_intrinsics ? cv::CALIB_FIX_INTRINSIC
                                   : cv::CALIB_USE_INTRINSIC_GUESS | cv::CALIB_FIX_PRINCIPAL_POINT |
                                         cv::CALIB_FIX_ASPECT_RATIO | cv::CALIB_ZERO_TANGENT_DIST |
                                         cv::CALIB_FIX_K1 | cv::CALIB_FIX_K2 | cv::CALIB_FIX_K3;
  try {
    cv::stereoCalibrate(std::vector<std::vector<cv::Point3f>>{s.flat_object},
                        std::vector<std::vector<cv::Point2f>>{corners[0]},
                        std::vector<std::vector<cv::Point2f>>{corners[1]}, out.K1, out.D1, out.K2,
                        out.D2, s.main_size, out.R, out.T, E, F, flags);
  } catch (const cv::Exception& e) {
    out.failure = "stereoCalibrate: " + std::string(e.what()).substr(0, 60);
    return out;
  }
  // The chart's pose in each camera, as a station checks it.
  cv::Mat r1, t1, r2, t2;
  cv::solvePnP(s.flat_object, corners[0], out.K1, out.D1, r1, t1);
  cv::solvePnP(s.flat_object, corners[1], out.K2, out.D2, r2, t2);
  cv::Mat R1, R2, P1, P2, Q;
  cv::stereoRectify(out.K1, out.D1, out.K2, out.D2, s.main_size, out.R, out.T, R1, R2, P1, P2, Q,
                    cv::CALIB_ZERO_DISPARITY, 0);
  cv::initUndistortRectifyMap(out.K1, out.D1, R1, P1, s.main_size, CV_16SC2, out.main_map1, out.main_map2);
  cv::initUndistortRectifyMap(out.K2, out.D2, R2, P2, s.main_size, CV_16SC2, out.aux_map1, out.aux_map2);
  // Focal lengths back at the L-chart distance, where the truth is scored.
  out.K1 = scaled_focal(out.K1, 1.0 / s.flat_over_l_main);
  out.K2 = scaled_focal(out.K2, 1.0 / s.flat_over_l_aux);
  out.ok = true;
  return out;
}

// Verification with a stored calibration: both captures rectified, corners
// found again, vertical disparities measured. Returns "mean_abs_vd p95_vd n"
// or a failure text starting with "failed".
inline std::string opencv_verify(const capture_paths& p, const cv_setup& s, const cv_calibration& c) {
  const cv::Mat K1 = scaled_focal(c.K1, s.verify_over_l_main);
  const cv::Mat K2 = scaled_focal(c.K2, s.verify_over_l_aux);
  cv::Mat R1, R2, P1, P2, Q, m1a, m1b, m2a, m2b;
  cv::stereoRectify(K1, c.D1, K2, c.D2, s.main_size, c.R, c.T, R1, R2, P1, P2, Q,
                    cv::CALIB_ZERO_DISPARITY, 0);
  cv::initUndistortRectifyMap(K1, c.D1, R1, P1, s.main_size, CV_16SC2, m1a, m1b);
  cv::initUndistortRectifyMap(K2, c.D2, R2, P2, s.main_size, CV_16SC2, m2a, m2b);
  const cv::Mat main_grey = working_grey(p.main_verify, s.main_size);
  const cv::Mat aux_grey = working_grey(p.aux_verify, s.aux_size);
  if (main_grey.empty() || aux_grey.empty()) return "failed: imread";
  cv::Mat main_rect, aux_rect;
  cv::remap(main_grey, main_rect, m1a, m1b, cv::INTER_LINEAR);
  cv::remap(aux_grey, aux_rect, m2a, m2b, cv::INTER_LINEAR);
  std::vector<cv::Point2f> a, b;
  if (!find_corners(main_rect, s.flat_pattern, true, a)) return "failed: no board in main";
  if (!find_corners(aux_rect, s.flat_pattern, true, b)) return "failed: no board in aux";
  std::vector<double> vd;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) vd.push_back(std::fabs(a[i].y - b[i].y));
  std::sort(vd.begin(), vd.end());
  double sum = 0.0;
  for (double v : vd) sum += v;
  const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(vd.size())));
  char text[96];
  std::snprintf(text, sizeof text, "%.4f %.4f %zu", sum / static_cast<double>(vd.size()),
                vd[std::max<size_t>(rank, 1) - 1], vd.size());
  return text;
}

// OpenCV's rotation (x right, y down) in the simulator's (row, column, depth) axes.
inline sim::mat3 to_row_column_axes(const cv::Mat& R) {
  const int p[3] = {1, 0, 2};
  sim::mat3 out{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out[3 * i + j] = R.at<double>(p[i], p[j]);
  }
  return out;
}

}  // namespace zorvel::bench
