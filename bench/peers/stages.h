// The single-image stages measured side by side: decoding one capture,
// resampling a pair to 1280, dewarping and rectifying the aux image, and
// corner detection on one working image (also one with no chart in view).
// Each stage gives one timing row per peer; detection also returns the
// corners so their accuracy can be scored against the simulator's truth.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/peers/accuracy.h"
#include "bench/peers/bounded_run.h"
#include "bench/peers/clutter.h"
#include "bench/peers/report.h"
#include "detect/keypoints.h"
#include "detect/preprocess.h"
#include "image/bmp.h"
#include "sim/bundle.h"
#include "sim/presets.h"
#include "bench/peers/setup.h"
#include "stereo/rectify.h"

#ifdef ZORVEL_HAVE_OPENCV
#include "bench/peers/opencv_pipeline.h"
#endif

namespace zorvel::bench {

struct stage_limits {
  int reps = 7;
  int run_reps = 3;
  double step_seconds = 15.0;
  double run_seconds = 45.0;
};

enum stage_group : int {
  kDecode = 0, kDecodeWorking, kResample, kRectify, kDetect, kNoChart, kCalibration, kVerification,
  kFreshCalibration, kFreshVerification, kWorstInput
};

// A capture decoded by our reader and kept for the stages that start from planes.
struct decoded_capture {
  std::unique_ptr<zorvel_bmp_read> reader;
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  int32_t width = 0, height = 0;

  bool load(const std::string& path) {
    reader = std::make_unique<zorvel_bmp_read>(path);
    if (reader->parse() != 1 || reader->get_planes(&r, &g, &b) != 1) return false;
    uint32_t w = 0, h = 0;
    reader->get_size(&w, &h);
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
  }
};

// One preset rendered to disk with its configurations and truth.
struct preset_bundle {
  std::string name, dir;
  sim::scenario scenario;
  sim::truth_charts truth;
  sim::bundle_files files;
  decoded_capture main_flat, aux_flat;
  zorvel_calibration_setup setup;  // as the calibration run builds it

  zorvel_capture_pair flat_capture() const {
    zorvel_capture_pair p;
    p.main_r = main_flat.r, p.main_g = main_flat.g, p.main_b = main_flat.b;
    p.aux_r = aux_flat.r, p.aux_g = aux_flat.g, p.aux_b = aux_flat.b;
    p.main_width = main_flat.width, p.main_height = main_flat.height;
    p.aux_width = aux_flat.width, p.aux_height = aux_flat.height;
    return p;
  }
  std::string file(const std::string& name_in_dir) const { return files.path(name_in_dir); }
};

inline bool prepare_bundle(const std::string& name, const std::string& dir, preset_bundle& b) {
  b.name = name;
  b.dir = dir;
  if (!sim::make_scenario(name, &b.scenario)) return false;
  if (!sim::write_bundle(b.scenario, 1, dir).empty()) return false;
  b.truth = sim::scenario_truth(b.scenario);
  b.files.dir = std::filesystem::absolute(dir).string();
  return calibration_setup_of(b.file("calibration.cfg"), b.setup) &&
         b.main_flat.load(b.file(b.files.main_flat)) && b.aux_flat.load(b.file(b.files.aux_flat));
}

inline timing_row make_row(int group, const std::string& stage, const std::string& preset,
                           const std::string& peer, double limit) {
  timing_row r;
  r.group = group;
  r.stage = stage;
  r.preset = preset;
  r.peer = peer;
  r.limit_seconds = limit;
#ifndef ZORVEL_HAVE_OPENCV
  r.has_peer = false;
#endif
  return r;
}

// Floors: what a stage cannot avoid. Copying its output's bytes (buffers
// allocated once) or reading its input files' bytes.
inline bounded_result copy_floor(size_t bytes, const stage_limits& l) {
  std::vector<uint8_t> source(bytes, 1), target(bytes);
  return run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                std::memcpy(target.data(), source.data(), bytes);
                                                return std::to_string(target[bytes / 2]);
                                              }});
}

inline bounded_result read_floor(const std::vector<std::string>& paths, int reps, double limit) {
  size_t largest = 0;
  for (const std::string& p : paths) largest = std::max<size_t>(largest, std::filesystem::file_size(p));
  std::vector<uint8_t> bytes(largest);
  return run_bounded(limit, reps, {nullptr, [&] {
                                     size_t total = 0;
                                     for (const std::string& p : paths) {
                                       std::FILE* f = std::fopen(p.c_str(), "rb");
                                       if (!f) return std::string("open failed");
                                       total += std::fread(bytes.data(), 1, bytes.size(), f);
                                       std::fclose(f);
                                     }
                                     return std::to_string(total);
                                   }});
}

// Decoding the main flat-chart capture; the floor reads its bytes only.
inline void measure_decode(const preset_bundle& b, const stage_limits& l, std::vector<timing_row>& rows) {
  const std::string path = b.file(b.files.main_flat);
  timing_row r = make_row(kDecode, "decode one capture (BMP)", b.name, "cv::imread", l.step_seconds);
  r.ours = run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                  zorvel_bmp_read reader(path);
                                                  return std::to_string(reader.parse());
                                                }});
#ifdef ZORVEL_HAVE_OPENCV
  r.theirs = run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                    const cv::Mat m = cv::imread(path, cv::IMREAD_COLOR);
                                                    return std::to_string(m.cols);
                                                  }});
#endif
  r.has_floor = true;
  r.floor = read_floor({path}, l.reps, l.step_seconds);
  r.note = "main 4000 x 3000; floor: fread of the file";
  rows.push_back(r);

  // What the runs do: the capture decoded straight to the working image.
  timing_row w = make_row(kDecodeWorking, "decode to working size (1280)", b.name,
                          "cv::imread + cv::resize INTER_NEAREST", l.step_seconds);
  std::vector<uint8_t> scratch;
  w.ours = run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                  zorvel_bmp_read reader(path);
                                                  const int ok = reader.parse_sampled(
                                                      quarter_turn::none,
                                                      [](uint32_t width, uint32_t height) {
                                                        return working_sample_grid(
                                                            static_cast<int32_t>(width),
                                                            static_cast<int32_t>(height), false);
                                                      },
                                                      scratch);
                                                  return std::to_string(ok);
                                                }});
#ifdef ZORVEL_HAVE_OPENCV
  const cv::Size size = working_size(b.scenario.module.main);
  w.theirs = run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                    cv::Mat small;
                                                    cv::resize(cv::imread(path, cv::IMREAD_COLOR), small, size, 0,
                                                               0, cv::INTER_NEAREST);
                                                    return std::to_string(small.cols);
                                                  }});
#endif
  w.has_floor = true;
  w.floor = r.floor;
  w.note = "main 4000 x 3000 to 1280 x 960 (the runs' path); floor: fread of the file";
  rows.push_back(w);
}

// Both flat-chart captures of a pair to the 1280-wide working size (nearest).
inline void measure_resample(const preset_bundle& b, const stage_limits& l, std::vector<timing_row>& rows) {
  const zorvel_capture_pair capture = b.flat_capture();
  timing_row r = make_row(kResample, "resample pair to 1280 (nearest)", b.name,
                          "cv::resize INTER_NEAREST", l.step_seconds);
  r.ours = run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                  zorvel_chart_pair pair;
                                                  normalize_capture_pair(capture, b.setup.working.rotated, pair);
                                                  return std::to_string(pair.main_width);
                                                }});
#ifdef ZORVEL_HAVE_OPENCV
  const cv::Mat main = cv::imread(b.file(b.files.main_flat), cv::IMREAD_COLOR);
  const cv::Mat aux = cv::imread(b.file(b.files.aux_flat), cv::IMREAD_COLOR);
  const cv::Size main_size = working_size(b.scenario.module.main);
  const cv::Size aux_size = working_size(b.scenario.module.aux);
  r.theirs = run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                    cv::Mat m, a;
                                                    cv::resize(main, m, main_size, 0, 0, cv::INTER_NEAREST);
                                                    cv::resize(aux, a, aux_size, 0, 0, cv::INTER_NEAREST);
                                                    return std::to_string(m.cols);
                                                  }});
#endif
  r.has_floor = true;
  r.floor = copy_floor(3u * (static_cast<size_t>(1280) * 960 * 2), l);
  r.note = "4000 x 3000 and 3264 x 2448, three planes each; floor: memcpy of the output";
  rows.push_back(r);
}

// The aux working image: lens distortion removed (when the lens has any) and
// rectified into the main camera's geometry, bilinear. OpenCV does both in
// one map.
inline void measure_rectify(const preset_bundle& b, const stage_limits& l, std::vector<timing_row>& rows) {
  zorvel_chart_pair pristine;
  normalize_capture_pair(b.flat_capture(), b.setup.working.rotated, pristine);
  const sim::mat3 rot = sim::aux_rotation(b.scenario.module);
  const double fr = sim::main_view(b.scenario.module, b.scenario.flat_chart_distance_mm()).focal_working;
  const double fa = sim::aux_view(b.scenario.module, b.scenario.flat_chart_distance_mm()).focal_working;
  float g[18] = {};
  g[0] = 0.4f;
  g[9] = -0.2f;
  const bool lens = b.scenario.module.aux.lens.active();
  timing_row r = make_row(kRectify, "dewarp + rectify aux at 1280", b.name,
                          "initUndistortRectifyMap + remap", l.step_seconds);
  // The dewarp pass (into the planes of `work`) when the lens has distortion,
  // then the rectification pass, as a verification runs them.
  zorvel_chart_pair work = pristine, out;
  const zorvel_lens_model& aux_lens = b.setup.working.aux_lens;
  r.ours = run_bounded(l.step_seconds, l.reps,
                       {nullptr,
                        [&] {
                          if (lens) {
                            dewarp_planes(pristine.aux_r.data(), pristine.aux_g.data(), pristine.aux_b.data(),
                                          work.aux_r.data(), work.aux_g.data(), work.aux_b.data(),
                                          work.aux_width, work.aux_height, aux_lens.fl_dewarping_reference,
                                          b.setup.working.crop_percent_for_aux, aux_lens.dewarp_coeff[0],
                                          aux_lens.dewarp_coeff[1], aux_lens.dewarp_coeff[2],
                                          aux_lens.dewarp_coeff[3]);
                          }
                          return std::to_string(rectify_aux(work, out, static_cast<float>(fr), rot.data(),
                                                            static_cast<float>(fa), work.aux_height,
                                                            work.aux_width, 0.0f, 0.0f, g));
                        }});
#ifdef ZORVEL_HAVE_OPENCV
  const cv_camera aux_cam = known_camera(b.scenario.module.aux, b.scenario.flat_chart_distance_mm());
  const cv_camera main_cam = known_camera(b.scenario.module.main, b.scenario.flat_chart_distance_mm());
  const cv::Size size = working_size(b.scenario.module.aux);
  cv::Mat aux_bgr;
  cv::resize(cv::imread(b.file(b.files.aux_flat), cv::IMREAD_COLOR), aux_bgr, size, 0, 0, cv::INTER_NEAREST);
  // The aux camera turned back into the main camera's orientation.
  cv::Mat R(3, 3, CV_64F);
  const sim::mat3 back = sim::transpose(rot);
  const int p[3] = {1, 0, 2};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) R.at<double>(i, j) = back[3 * p[i] + p[j]];
  }
  r.theirs = run_bounded(l.step_seconds, l.reps, {nullptr, [&] {
                                                    cv::Mat m1, m2, rectified;
                                                    cv::initUndistortRectifyMap(aux_cam.K, aux_cam.D, R, main_cam.K, size,
                                                                                CV_16SC2, m1, m2);
                                                    cv::remap(aux_bgr, rectified, m1, m2, cv::INTER_LINEAR);
                                                    return std::to_string(rectified.cols);
                                                  }});
#endif
  r.has_floor = true;
  r.floor = copy_floor(3u * static_cast<size_t>(pristine.aux_width) * pristine.aux_height, l);
  r.note = std::string(lens ? "ours: dewarp pass + rectification pass" : "no aux distortion: ours rectifies only") +
           "; floor: memcpy of one image";
  rows.push_back(r);
}

struct detection_result {
  std::string detector;
  bounded_result timing;
};

// Our detector and the peer's finders on one working image (three planes);
// the payload of each is the list of corners found.
inline std::vector<detection_result> detect_on(const planar_image& img, int32_t pattern_cols,
                                               int32_t pattern_rows, const stage_limits& l) {
  std::vector<detection_result> out;
#ifndef ZORVEL_HAVE_OPENCV
  (void)pattern_cols, (void)pattern_rows;  // only the peer needs the pattern's size
#endif
  std::vector<uint8_t> r, g, b;
  zorvel_key_points set(kKeyPointCapacity);
  out.push_back({"zorvel detect_flat_chart_keypoints",
                 run_bounded(l.step_seconds, l.reps,
                             {[&] { r = img.r, g = img.g, b = img.b; },
                              [&] {
                                const int n = detect_flat_chart_keypoints(r.data(), g.data(), b.data(),
                                                                          img.height, img.width, set, 0);
                                std::vector<point2> points;
                                for (int i = 0; i < n; ++i) points.push_back({static_cast<double>(set.y[i]),
                                                                              static_cast<double>(set.x[i])});
                                return encode_points(points);
                              }})});
#ifdef ZORVEL_HAVE_OPENCV
  std::vector<cv::Mat> channels = {cv::Mat(img.height, img.width, CV_8UC1, const_cast<uint8_t*>(img.b.data())),
                                   cv::Mat(img.height, img.width, CV_8UC1, const_cast<uint8_t*>(img.g.data())),
                                   cv::Mat(img.height, img.width, CV_8UC1, const_cast<uint8_t*>(img.r.data()))};
  cv::Mat bgr;
  cv::merge(channels, bgr);
  const cv::Size pattern(pattern_cols, pattern_rows);
  auto finder = [&](int kind) {
    return [&, kind] {
      cv::Mat grey;
      cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
      std::vector<cv::Point2f> corners;
      bool found = false;
      if (kind == 2) {
        found = cv::findChessboardCornersSB(grey, pattern, corners);
      } else {
        found = find_corners(grey, pattern, kind == 1, corners);
      }
      std::vector<point2> points;
      if (found) {
        for (const cv::Point2f& c : corners) points.push_back({c.y, c.x});
      }
      return encode_points(points);
    };
  };
  out.push_back({"cv::findChessboardCorners", run_bounded(l.step_seconds, l.reps, {nullptr, finder(0)})});
  out.push_back({"cv::findChessboardCorners + cornerSubPix",
                 run_bounded(l.step_seconds, l.reps, {nullptr, finder(1)})});
  out.push_back({"cv::findChessboardCornersSB", run_bounded(l.step_seconds, l.reps, {nullptr, finder(2)})});
#endif
  return out;
}

// The main flat-chart working image (resampled, dewarped) as the driver makes it.
inline planar_image flat_working_image(const preset_bundle& b) {
  zorvel_chart_pair pair, scratch;
  normalize_capture_pair(b.flat_capture(), b.setup.working.rotated, pair);
  dewarp_pair(b.setup.working, pair, scratch);
  planar_image img;
  img.width = pair.main_width;
  img.height = pair.main_height;
  img.r = pair.main_r;
  img.g = pair.main_g;
  img.b = pair.main_b;
  return img;
}

inline std::string points_note(const bounded_result& t) {
  if (!t.ok()) return "";
  const size_t n = decode_points(t.payload).size();
  return n == 0 ? "no corners" : std::to_string(n) + " corners";
}

// One row per peer finder (one row without a peer), our time repeated.
inline void detection_rows(int group, const std::string& stage, const std::string& preset,
                           const std::vector<detection_result>& results, const stage_limits& l,
                           std::vector<timing_row>& rows) {
  const size_t peers = results.size() - 1;
  for (size_t k = 0; k < std::max<size_t>(peers, 1); ++k) {
    timing_row r = make_row(group, stage, preset, peers ? results[k + 1].detector : "", l.step_seconds);
    r.ours = results[0].timing;
    r.note = "zorvel " + points_note(r.ours);
    if (peers) {
      r.theirs = results[k + 1].timing;
      r.note += ", peer " + points_note(r.theirs);
    }
    rows.push_back(r);
  }
}

// Detection rows; corner errors against the truth go into `scores`.
inline void measure_detection(const preset_bundle& b, const stage_limits& l, std::vector<timing_row>& rows,
                              std::vector<std::pair<std::string, std::vector<point2>>>& found,
                              std::vector<point2>& truth) {
  const planar_image img = flat_working_image(b);
  const sim::flat_chart_design& d = b.scenario.flat_chart;
  const auto results = detect_on(img, d.col_max - d.col_min - 1, d.row_max - d.row_min - 1, l);
  truth.clear();
  for (const sim::corner_truth& t : b.truth.flat_chart) {
    if (t.main_row >= 0 && t.main_col >= 0 && t.main_row <= img.height - 1 && t.main_col <= img.width - 1) {
      truth.push_back({t.main_row, t.main_col});
    }
  }
  detection_rows(kDetect, "detect corners, one working image", b.name, results, l, rows);
  for (const detection_result& d2 : results) {
    if (d2.timing.ok()) found.push_back({d2.detector, decode_points(d2.timing.payload)});
  }
}

inline void measure_no_chart(const stage_limits& l, std::vector<timing_row>& rows) {
  const planar_image img = cluttered_scene(1280, 960);
  sim::scenario s;
  sim::make_scenario("good", &s);
  const sim::flat_chart_design& d = s.flat_chart;
  const auto results = detect_on(img, d.col_max - d.col_min - 1, d.row_max - d.row_min - 1, l);
  detection_rows(kNoChart, "detect corners, no chart in view", "clutter", results, l, rows);
}

}  // namespace zorvel::bench
