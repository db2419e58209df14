// Whole runs side by side: our calibration (four captures, from the
// configuration file to the OTP record) and verification (two captures)
// against the OpenCV pipeline doing the same jobs, with the calibration's
// relative rotation and main focal length scored against the simulator.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <string>
#include <vector>

#include "bench/peers/accuracy.h"
#include "bench/peers/bounded_run.h"
#include "bench/peers/fresh_process.h"
#include "bench/peers/report.h"
#include "bench/peers/stages.h"
#include "calib/drivers.h"
#include "driver/entry.h"
#include "sim/geometry.h"

namespace zorvel::bench {

struct calibration_score {
  std::string preset, pipeline;
  bool ok = false;
  calibration_errors errors;
  std::string failure;
};

inline calibration_errors errors_against_truth(const sim::scenario& s, const sim::mat3& rot,
                                               double main_focal_px) {
  const sim::angles_deg truth = sim::library_angles_from_rotation(sim::aux_rotation(s.module));
  const sim::angles_deg got = sim::library_angles_from_rotation(rot);
  const double focal = sim::main_view(s.module, s.l_chart_distance_mm()).focal_working;
  return {got.pitch - truth.pitch, got.yaw - truth.yaw, got.roll - truth.roll,
          (main_focal_px / focal - 1.0) * 100.0};
}

// Our L and flat driver on the decoded captures, the setup built as the
// calibration run builds it; reports "status pitch-row rot[9] main_f".
inline calibration_score our_calibration_accuracy(const preset_bundle& b, const stage_limits& l) {
  calibration_score score{b.name, "zorvel, L + flat chart driver", false, {}, ""};
  const bounded_result r = run_bounded(l.run_seconds, 1, {nullptr, [&] {
    decoded_capture main_l, aux_l;
    if (!main_l.load(b.file(b.files.main_l)) || !aux_l.load(b.file(b.files.aux_l))) return std::string("-2");
    zorvel_capture_pair lc;
    lc.main_r = main_l.r, lc.main_g = main_l.g, lc.main_b = main_l.b;
    lc.aux_r = aux_l.r, lc.aux_g = aux_l.g, lc.aux_b = aux_l.b;
    lc.main_width = main_l.width, lc.main_height = main_l.height;
    lc.aux_width = aux_l.width, lc.aux_height = aux_l.height;
    zorvel_calibration_result result;
    bool passed = false;
    {
      quiet_stdout quiet;
      passed = calibrate_l_and_flat(lc, b.flat_capture(), b.setup, result);
    }
    const int32_t status = passed ? 0 : -1;
    std::string text = std::to_string(status);
    char cell[40];
    for (double v : result.model.rot) {
      std::snprintf(cell, sizeof cell, " %.12g", v);
      text += cell;
    }
    std::snprintf(cell, sizeof cell, " %.9g", static_cast<double>(result.model.main_focal_px));
    return text + cell;
  }});
  const std::vector<double> v = decode_numbers(r.payload);
  if (!r.ok() || v.size() != 11) {
    score.failure = r.over_limit ? "over time limit" : "did not run";
    return score;
  }
  if (v[0] != 0) {
    score.failure = "calibration failed";
    return score;
  }
  sim::mat3 rot{};
  for (int i = 0; i < 9; ++i) rot[i] = v[1 + i];
  score.ok = true;
  score.errors = errors_against_truth(b.scenario, rot, v[10]);
  return score;
}

#ifdef ZORVEL_HAVE_OPENCV
// The peer's calibration as one line: "f1 f2 R[9] T[3]" (focal lengths at
// the L-chart distance), or "failed: ..." .
inline std::string opencv_calibration_text(const capture_paths& paths, const cv_setup& setup,
                                           bool fix_intrinsics) {
  const cv_calibration c = opencv_calibrate(paths, setup, fix_intrinsics);
  if (!c.ok) return "failed: " + c.failure;
  std::string text;
  char cell[40];
  auto put = [&](double v) {
    std::snprintf(cell, sizeof cell, "%.12g ", v);
    text += cell;
  };
  put(c.K1.at<double>(0, 0));
  put(c.K2.at<double>(0, 0));
  for (int i = 0; i < 9; ++i) put(c.R.at<double>(i / 3, i % 3));
  for (int i = 0; i < 3; ++i) put(c.T.at<double>(i, 0));
  return text;
}

inline bool read_opencv_calibration(const bounded_result& r, const cv_setup& setup, cv_calibration& out,
                                    std::string& failure) {
  const std::vector<double> v = decode_numbers(r.payload);
  if (!r.ok() || v.size() != 14) {
    failure = r.ok() ? r.payload : (r.over_limit ? "over time limit" : "crashed");
    return false;
  }
  out.ok = true;
  out.K1 = scaled_focal(setup.main_l.K, v[0] / setup.main_l.K.at<double>(0, 0));
  out.K2 = scaled_focal(setup.aux_l.K, v[1] / setup.aux_l.K.at<double>(0, 0));
  out.D1 = setup.main_l.D.clone();
  out.D2 = setup.aux_l.D.clone();
  out.R = cv::Mat(3, 3, CV_64F);
  for (int i = 0; i < 9; ++i) out.R.at<double>(i / 3, i % 3) = v[2 + i];
  out.T = (cv::Mat_<double>(3, 1) << v[11], v[12], v[13]);
  return true;
}
#endif

inline void measure_runs(const preset_bundle& b, const stage_limits& l, std::vector<timing_row>& rows,
                         std::vector<calibration_score>& scores) {
  const std::string otp = b.file(b.files.otp);
  std::error_code ignored;
  std::filesystem::remove(otp, ignored);

  timing_row cal = make_row(kCalibration, "whole calibration (4 captures)", b.name,
                            "OpenCV pipeline (flat pair, 2 captures)", l.run_seconds);
  const std::string cal_cfg = b.file("calibration.cfg");
  cal.ours = run_bounded(l.run_seconds, l.run_reps,
                         {nullptr, [&] { return std::to_string(calibrate(cal_cfg.c_str(), 0)); }});
  cal.has_floor = true;
  cal.floor = read_floor({b.file(b.files.main_l), b.file(b.files.aux_l), b.file(b.files.main_flat),
                          b.file(b.files.aux_flat)},
                         l.reps, l.step_seconds);
  cal.note = cal.ours.ok() ? (cal.ours.payload == "1" ? "zorvel: every row PASS" : "zorvel: returned 0")
                           : "";
  scores.push_back(our_calibration_accuracy(b, l));

  timing_row ver = make_row(kVerification, "whole verification (2 captures)", b.name,
                            "OpenCV pipeline", l.run_seconds);
  const std::string ver_cfg = b.file("verification.cfg");
  ver.has_floor = true;
  ver.floor = read_floor({b.file(b.files.main_verify), b.file(b.files.aux_verify)}, l.reps, l.step_seconds);
  if (std::filesystem::exists(otp)) {
    ver.ours = run_bounded(l.run_seconds, l.run_reps,
                           {nullptr, [&] { return std::to_string(calibrate(ver_cfg.c_str(), 0)); }});
    ver.note = ver.ours.ok() ? (ver.ours.payload == "1" ? "zorvel: every row PASS" : "zorvel: returned 0")
                             : "";
  } else {
    ver.has_ours = false;
    ver.note = "zorvel: no OTP record (calibration did not pass)";
  }

#ifdef ZORVEL_HAVE_OPENCV
  const cv_setup setup = make_cv_setup(b.scenario);
  const capture_paths paths{b.file(b.files.main_l),    b.file(b.files.aux_l),
                            b.file(b.files.main_flat), b.file(b.files.aux_flat),
                            b.file(b.files.main_verify), b.file(b.files.aux_verify)};
  // Timed with the intrinsics known; scored both ways.
  cal.theirs = run_bounded(l.run_seconds, l.run_reps,
                           {nullptr, [&] { return opencv_calibration_text(paths, setup, true); }});
  calibration_score theirs{b.name, "OpenCV, flat chart, intrinsics given", false, {}, ""};
  cv_calibration stored;
  if (read_opencv_calibration(cal.theirs, setup, stored, theirs.failure)) {
    theirs.ok = true;
    theirs.errors = errors_against_truth(b.scenario, to_row_column_axes(stored.R), stored.K1.at<double>(0, 0));
    cal.note += ", OpenCV: calibrated from the flat chart";
  } else {
    cal.note += ", OpenCV: " + theirs.failure;
  }
  scores.push_back(theirs);
  calibration_score estimated{b.name, "OpenCV, flat chart, focal lengths estimated", false, {}, ""};
  cv_calibration estimate;
  const bounded_result e = run_bounded(l.run_seconds, 1, {nullptr, [&] {
    return opencv_calibration_text(paths, setup, false);
  }});
  if (read_opencv_calibration(e, setup, estimate, estimated.failure)) {
    estimated.ok = true;
    estimated.errors = errors_against_truth(b.scenario, to_row_column_axes(estimate.R),
                                            estimate.K1.at<double>(0, 0));
  }
  scores.push_back(estimated);

  if (stored.ok) {
    ver.theirs = run_bounded(l.run_seconds, l.run_reps,
                             {nullptr, [&] { return opencv_verify(paths, setup, stored); }});
    const std::vector<double> vd = decode_numbers(ver.theirs.payload);
    char text[96];
    if (ver.theirs.ok() && vd.size() == 3) {
      std::snprintf(text, sizeof text, ", OpenCV: |vd| mean %.2f p95 %.2f px", vd[0], vd[1]);
    } else {
      std::snprintf(text, sizeof text, ", OpenCV: %s", ver.theirs.ok() ? ver.theirs.payload.c_str() : "failed");
    }
    ver.note += text;
  } else {
    ver.has_peer = false;
    ver.note += ", OpenCV: no calibration";
  }
#endif
  rows.push_back(cal);
  rows.push_back(ver);
}

// The zorvel command on the preset's configurations, each run a fresh
// process, alternating with `cat` of the same captures (the floor) so both
// see the same machine. The calibration comes first: it writes the record
// the verification reads.
inline void measure_fresh_runs(const preset_bundle& b, const stage_limits& l,
                               const std::string& zorvel_command, std::vector<timing_row>& rows) {
  const std::string otp = b.file(b.files.otp);
  std::error_code ignored;
  std::filesystem::remove(otp, ignored);
  const std::vector<std::string> cal_captures = {b.file(b.files.main_l), b.file(b.files.aux_l),
                                                 b.file(b.files.main_flat), b.file(b.files.aux_flat)};
  const std::vector<std::string> ver_captures = {b.file(b.files.main_verify),
                                                 b.file(b.files.aux_verify)};
  const auto measure = [&](int group, const char* stage, const char* config,
                           const std::vector<std::string>& captures) {
    timing_row row = make_row(group, stage, b.name, "", l.run_seconds);
    row.has_peer = false;
    row.has_floor = true;
    std::vector<std::string> cat = {cat_path()};
    cat.insert(cat.end(), captures.begin(), captures.end());
    process_figures ours;
    for (int k = 0; k < l.run_reps + 2; ++k) {  // the first run warms the page cache
      const process_figures one = run_fresh({zorvel_command, b.file(config)}, b.dir, 1, true);
      const process_figures floor = run_fresh(cat, b.dir, 1);
      if (k == 0) continue;
      ours.wall.seconds.insert(ours.wall.seconds.end(), one.wall.seconds.begin(), one.wall.seconds.end());
      ours.peak_mib.insert(ours.peak_mib.end(), one.peak_mib.begin(), one.peak_mib.end());
      ours.wall.failed = ours.wall.failed || one.wall.failed;
      ours.last_status = one.last_status;
      row.floor.seconds.insert(row.floor.seconds.end(), floor.wall.seconds.begin(), floor.wall.seconds.end());
    }
    row.ours = ours.wall;
    char note[96];
    std::snprintf(note, sizeof note, "peak RSS %.1f MiB%s; exit %d; floor: cat of the %zu captures",
                  ours.median_peak_mib(), have_time_command() ? "" : " (at most)", ours.last_status,
                  captures.size());
    row.note = note;
    rows.push_back(row);
  };
  measure(kFreshCalibration, "calibration, fresh process", "calibration.cfg", cal_captures);
  measure(kFreshVerification, "verification, fresh process", "verification.cfg", ver_captures);
}

// The inputs that cost detection most, as full-size captures a station could
// hand over: pure noise, black, flat grey, and the preset's charts with the
// lower half of every capture grey (a chart cut in half). Each is the whole
// calibration as a fresh process; every one must end within a second.
inline void measure_worst_inputs(const preset_bundle& b, const stage_limits& l,
                                 const std::string& zorvel_command, std::vector<timing_row>& rows) {
  const std::string config_text = [&] {
    std::ifstream in(b.file("calibration.cfg"));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  const char* names[4] = {"main_l.bmp", "aux_l.bmp", "main_flat.bmp", "aux_flat.bmp"};
  for (const char* kind : {"noise", "black", "grey", "half chart"}) {
    const std::string dir = b.dir + "/worst-" + std::string(kind).substr(0, 4);
    std::filesystem::create_directories(dir);
    std::string config = config_text;
    uint32_t state = 2463534242u;
    for (const char* name : names) {
      decoded_capture source;
      if (!source.load(b.file(name))) return;
      sim::capture_image img;
      img.width = source.width;
      img.height = source.height;
      const size_t n = static_cast<size_t>(img.width) * img.height;
      const std::string k = kind;
      for (auto [plane, from] : {std::pair{&img.r, source.r}, {&img.g, source.g}, {&img.b, source.b}}) {
        plane->resize(n);
        for (size_t i = 0; i < n; ++i) {
          state ^= state << 13, state ^= state >> 17, state ^= state << 5;
          const bool lower_half = i >= n / 2;
          (*plane)[i] = k == "noise" ? static_cast<uint8_t>(state >> 24)
                        : k == "black" ? 0
                        : k == "grey" || lower_half ? 128
                                                    : from[i];
        }
      }
      sim::write_capture_bmp(img, dir + "/" + name);
      for (size_t at = config.find(b.file(name)); at != std::string::npos;
           at = config.find(b.file(name), at)) {
        config.replace(at, b.file(name).size(), dir + "/" + name);
      }
    }
    {
      std::ofstream(dir + "/calibration.cfg") << config;
    }
    timing_row row = make_row(kWorstInput, "worst input, fresh calibration", kind, "", l.run_seconds);
    row.has_peer = false;
    process_figures figures;
    for (int k = 0; k < l.run_reps + 1; ++k) {  // the first run warms the page cache
      const process_figures one = run_fresh({zorvel_command, dir + "/calibration.cfg"}, dir, 1, true);
      if (k == 0) continue;
      figures.wall.seconds.insert(figures.wall.seconds.end(), one.wall.seconds.begin(), one.wall.seconds.end());
      figures.peak_mib.insert(figures.peak_mib.end(), one.peak_mib.begin(), one.peak_mib.end());
      figures.last_status = one.last_status;
    }
    row.ours = figures.wall;
    char note[96];
    std::snprintf(note, sizeof note, "peak RSS %.1f MiB; exit %d (1: no calibration, as it must)",
                  figures.median_peak_mib(), figures.last_status);
    row.note = note;
    rows.push_back(row);
  }
}

}  // namespace zorvel::bench
