#include "driver/run_collect.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "common/run_messages.h"
#include "common/sha256.h"

namespace zorvel {
namespace {

float nan_f() { return std::nanf(""); }

// "Flat-chart: Residual vertical disparity [pixels]" as "flat-chart residual
// vertical disparity": lower case, no colon, no bracketed tail.
std::string short_row_name(const std::string& name) {
  std::string out;
  for (char c : name.substr(0, name.find(" ["))) {
    if (c == ':') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (out.size() > 10 && out.compare(0, 10, "flat-chart") == 0 && out[10] != ' ') {
    out.insert(10, " ");  // "Flat-chart:Horiz" has no space after its colon
  }
  return out;
}

std::string two_decimals(float v) {
  if (std::isnan(v)) return "NaN";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(v));
  return text;
}

const char* status_word(zorvel_run_status s) {
  switch (s) {
    case zorvel_run_status::passed: return "PASS";
    case zorvel_run_status::failed: return "FAIL";
    case zorvel_run_status::diagnostic: return "DIAGNOSTIC";
    case zorvel_run_status::not_tested: break;
  }
  return "NOT TESTED";
}

}  // namespace

void stage_clock::start(const char* stage) {
  stop();
  stage_ = stage;
  since_ = std::chrono::steady_clock::now();
}

void stage_clock::stop() {
  if (stage_.empty()) return;
  const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - since_;
  result_.stages.push_back(zorvel_run_stage_time{stage_, ms.count()});
  stage_.clear();
}

void end_run(zorvel_run_result& r, zorvel_run_status status, const char* stage,
             const std::string& fallback) {
  r.status = status;
  r.failed_stage = stage;
  const std::string& printed = first_failure_message();
  r.failure_message = printed.empty() ? fallback : printed;
  if (r.failed_stage != "table") return;
  // A table ends the run on its first failing row.
  for (const zorvel_run_row& row : r.rows) {
    if (row.pass) continue;
    r.failure_message = row.name + " " + (row.measured ? two_decimals(row.value) : "not measured") +
                        " > " + two_decimals(row.threshold);
    break;
  }
}

void collect_details(zorvel_run_result& r, const zorvel_run_details& d) {
  for (const zorvel_detected_image& det : d.detections) {
    zorvel_run_key_points k;
    k.image = det.image;
    k.width = det.width;
    k.height = det.height;
    k.detected = det.detected;
    k.paired = det.paired;
    const zorvel_key_points& p = det.points;
    for (size_t i = 0; i < p.y.size(); ++i) {
      k.points.push_back(zorvel_run_point{p.y[i], p.x[i], p.Yw[i], p.Xw[i],
                                          i < p.Zw.size() ? p.Zw[i] : 0});
    }
    r.key_points.push_back(std::move(k));
  }
  if (!d.pairs.empty()) {
    zorvel_run_disparity_field& f = r.disparities;
    f.chart = "flat";
    f.width = d.pairs_width;
    f.height = d.pairs_height;
    double sum = 0.0;
    for (const zorvel_pair_disparity& p : d.pairs) sum += p.hd;
    const double mean = sum / static_cast<double>(d.pairs.size());
    f.mean_hd = static_cast<float>(mean);
    f.points.clear();
    for (const zorvel_pair_disparity& p : d.pairs) {
      f.points.push_back(zorvel_run_point_disparity{
          static_cast<float>(p.y + d.pairs_height / 2), static_cast<float>(p.x + d.pairs_width / 2),
          static_cast<float>(p.vd), static_cast<float>(p.hd - mean)});
    }
  }
  for (const zorvel_reduced_image& img : d.images) {
    r.images.push_back(zorvel_run_image{img.image, img.width, img.height, img.reduction, img.rgb});
  }
}

namespace {

// The 3 x 3 zone maps from their stored tenths of a pixel.
template <typename VdTenths, typename HdTenths>
void set_zones(zorvel_run_zone_maps& zones, const VdTenths& vd, const HdTenths& hd) {
  zones.present = true;
  for (int i = 0; i < 9; ++i) {
    zones.vd[i] = static_cast<double>(vd[i]) / 10.0;
    zones.hd[i] = static_cast<double>(hd[i]) / 10.0;
  }
}

}  // namespace

void collect_calibration(zorvel_run_result& r, const zorvel_calibration_setup& setup,
                         const zorvel_calibration_result& result) {
  r.angles = zorvel_run_angles{true, result.angles.pitch_deg, result.angles.yaw_deg,
                               result.angles.roll_deg};
  zorvel_run_focal_lengths& f = r.focal;
  f.present = true;
  f.main_px = result.model.main_focal_px;
  f.aux_px = result.model.aux_focal_px;
  f.main_ratio_l = setup.main.focal_length_ratio_l;
  f.aux_ratio_l = setup.aux.focal_length_ratio_l;
  f.main_ratio_flat = setup.main.focal_length_ratio_flat;
  f.aux_ratio_flat = setup.aux.focal_length_ratio_flat;
  if (r.kind != zorvel_run_kind::l_only) {
    r.geometry_correction.assign(std::begin(result.image_correction),
                                 std::end(result.image_correction));
  }
}

void collect_reference(zorvel_run_result& r, const zorvel_otp_data& record,
                       const zorvel_calibration_result& result, float distance_mm) {
  zorvel_run_reference& ref = r.reference;
  ref.present = true;
  ref.flat_residual_vd = record.flat_residual_vd;
  ref.flat_scale_error = record.flat_scale_error;
  ref.flat_hd_stdev = record.flat_hd_stdev;
  ref.l_residual_vd = record.l_residual_vd;
  ref.l_scale_error = record.l_scale_error;
  ref.l_distance_error_percent = record.l_distance_error_percent;
  ref.flat_max_vd = static_cast<double>(record.flat_max_vd_tenths) / 10.0;
  ref.flat_max_hd_delta = static_cast<double>(record.flat_max_hd_delta_tenths) / 10.0;
  ref.flat_chart_distance_cm = record.flat_chart_distance_cm;
  ref.mean_disparity = result.flat.mean_disparity;
  ref.reference_disparity = result.reference_disparity;
  ref.flat_chart_distance_mm = distance_mm;
  set_zones(r.zones, record.vd_rms_zoned_tenths, record.hd_rms_zoned_tenths);
}

void collect_verification(zorvel_run_result& r, const zorvel_verif_config& config,
                          const zorvel_verification_input& input,
                          const zorvel_verification_result& result) {
  zorvel_run_focal_lengths& f = r.focal;
  f.present = true;
  f.main_px = input.model.main_focal_px;
  f.aux_px = input.model.aux_focal_px;
  f.main_ratio_l = input.l_chart_ratios.main;
  f.aux_ratio_l = input.l_chart_ratios.aux;
  f.main_ratio_flat = input.flat_chart_ratios.main;
  f.aux_ratio_flat = input.flat_chart_ratios.aux;
  r.geometry_correction.assign(std::begin(input.model.geo), std::end(input.model.geo));
  collect_details(r, result.details);
  if (!result.metrics_measured) return;

  zorvel_run_reference& ref = r.reference;
  ref.present = true;
  ref.flat_residual_vd = result.residual_vd_px;
  ref.flat_scale_error = result.scale_measured ? result.scale_difference_percent : nan_f();
  ref.flat_hd_stdev = result.disparity.hd_stdev;
  ref.l_residual_vd = ref.l_scale_error = ref.l_distance_error_percent = nan_f();
  ref.flat_max_vd = static_cast<double>(result.max_vd_px);
  ref.flat_max_hd_delta = static_cast<double>(result.disparity.max_hd_delta);
  ref.flat_chart_distance_cm = static_cast<int32_t>(config.flat_chart_distance_mm / 10.0f);
  ref.mean_disparity = result.disparity.mean_disparity;
  ref.reference_disparity = result.reference_disparity_px;
  ref.flat_chart_distance_mm = config.flat_chart_distance_mm;
  set_zones(r.zones, result.disparity.vd_rms_zoned, result.disparity.hd_rms_zoned);
  zorvel_run_verification& v = r.verification;
  v.present = true;
  v.distance_error_percent = result.distance_error_percent;
  v.mean_distance_percent = result.mean_distance_percent;
  v.max_vd_px = result.max_vd_px;
  v.fov_at_max_vd_percent = result.fov_at_max_vd_percent;
  v.residual_vd_px = result.residual_vd_px;
}

void record_written(zorvel_run_result& r, const char* kind, const std::string& path,
                    const std::vector<uint8_t>& bytes) {
  r.record.kind = kind;
  r.record.path = path;
  r.record.written = true;
  r.record.size = bytes.size();
  r.record.sha256 = sha256_hex(bytes.data(), bytes.size());
  r.record.why_not.clear();
}

void record_not_written(zorvel_run_result& r, const char* kind, const std::string& path,
                        const std::string& why) {
  r.record.kind = kind;
  r.record.path = path;
  r.record.written = false;
  r.record.size = 0;
  r.record.sha256.clear();
  r.record.why_not = why;
}

std::string run_summary(const zorvel_run_result& r) {
  std::string line = status_word(r.status);
  if (r.status == zorvel_run_status::diagnostic) {
    line += " mode " + std::to_string(r.mode) + " measured nothing";
  } else if (r.status == zorvel_run_status::not_tested ||
             (r.status == zorvel_run_status::failed && !r.failed_stage.empty() &&
              r.failed_stage != "table")) {
    line += " " + r.failed_stage + ": " + r.failure_message;
  } else {
    int failed = 0;
    for (const zorvel_run_row& row : r.rows) {
      if (row.pass) continue;
      if (++failed > 1) continue;
      line += " " + short_row_name(row.name) + " " +
              (row.measured ? two_decimals(row.value) : "not measured") + " > " +
              two_decimals(row.threshold);
    }
    if (failed > 1) line += " (and " + std::to_string(failed - 1) + " more)";
    if (failed == 0 && r.status == zorvel_run_status::passed) {
      line += r.kind == zorvel_run_kind::verification ? " verification" : " calibration";
    }
  }
  if (!r.record.kind.empty()) {
    line += r.record.written ? "; record written to " + r.record.path : "; no record written";
  }
  return line;
}

}  // namespace zorvel
