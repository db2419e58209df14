#include "driver/run_json.h"

#include "common/json_writer.h"
#include "zorvel_version.h"

namespace zorvel {
namespace {

void write_rows(json_writer& w, const zorvel_run_result& r) {
  w.key("rows").begin_array();
  for (const zorvel_run_row& row : r.rows) {
    w.begin_object();
    w.field("name", row.name);
    w.field("value", row.value);
    w.field("threshold", row.threshold);
    w.field("measured", row.measured);
    w.field("verdict", row.pass ? "PASS" : "FAIL");
    if (row.fov_percent >= 0) {
      w.field("fov_percent", row.fov_percent);
      w.field("percentile", row.percentile);
    }
    w.end_object();
  }
  w.end_array();
}

// Zone k printed on line k / 3: three rows of three.
void write_zone_map(json_writer& w, const char* name, const double zones[9]) {
  w.key(name).begin_array();
  for (int line = 0; line < 3; ++line) {
    w.begin_array();
    for (int i = 0; i < 3; ++i) w.value(zones[3 * line + i]);
    w.end_array();
  }
  w.end_array();
}

// A group of figures as an object when the run measured it, else null.
template <typename Fields>
void optional_object(json_writer& w, const char* name, bool present, Fields fields) {
  w.key(name);
  if (!present) {
    w.null();
    return;
  }
  w.begin_object();
  fields();
  w.end_object();
}

void write_figures(json_writer& w, const zorvel_run_result& r) {
  optional_object(w, "angles", r.angles.present, [&] {
    w.field("pitch_deg", r.angles.pitch_deg);
    w.field("yaw_deg", r.angles.yaw_deg);
    w.field("roll_deg", r.angles.roll_deg);
  });
  const zorvel_run_focal_lengths& f = r.focal;
  optional_object(w, "focal_lengths", f.present, [&] {
    w.field("main_px", f.main_px);
    w.field("aux_px", f.aux_px);
    w.field("main_ratio_l", f.main_ratio_l);
    w.field("aux_ratio_l", f.aux_ratio_l);
    w.field("main_ratio_flat", f.main_ratio_flat);
    w.field("aux_ratio_flat", f.aux_ratio_flat);
  });
  w.key("geometry_correction").begin_array();
  for (float c : r.geometry_correction) w.value(c);
  w.end_array();
  const zorvel_run_reference& ref = r.reference;
  optional_object(w, "reference", ref.present, [&] {
    w.field("flat_residual_vd", ref.flat_residual_vd);
    w.field("flat_scale_error", ref.flat_scale_error);
    w.field("flat_hd_stdev", ref.flat_hd_stdev);
    w.field("l_residual_vd", ref.l_residual_vd);
    w.field("l_scale_error", ref.l_scale_error);
    w.field("l_distance_error_percent", ref.l_distance_error_percent);
    w.field("flat_max_vd", ref.flat_max_vd);
    w.field("flat_max_hd_delta", ref.flat_max_hd_delta);
    w.field("flat_chart_distance_cm", ref.flat_chart_distance_cm);
    w.field("mean_disparity", ref.mean_disparity);
    w.field("reference_disparity", ref.reference_disparity);
    w.field("flat_chart_distance_mm", ref.flat_chart_distance_mm);
  });
  optional_object(w, "zones", r.zones.present, [&] {
    write_zone_map(w, "vd_rms", r.zones.vd);
    write_zone_map(w, "hd_rms_from_mean", r.zones.hd);
  });
  const zorvel_run_verification& v = r.verification;
  optional_object(w, "verification", v.present, [&] {
    w.field("distance_error_percent", v.distance_error_percent);
    w.field("mean_distance_percent", v.mean_distance_percent);
    w.field("max_vd_px", v.max_vd_px);
    w.field("fov_at_max_vd_percent", v.fov_at_max_vd_percent);
    w.field("residual_vd_px", v.residual_vd_px);
  });
}

void write_points(json_writer& w, const zorvel_run_result& r, bool lists) {
  w.key("key_points").begin_array();
  for (const zorvel_run_key_points& k : r.key_points) {
    w.begin_object();
    w.field("image", k.image);
    w.field("width", k.width);
    w.field("height", k.height);
    w.field("detected", k.detected);
    w.field("paired", k.paired);
    if (lists) {
      w.key("points").begin_array();
      for (const zorvel_run_point& p : k.points) {
        w.begin_array().value(p.y).value(p.x).value(p.Yw).value(p.Xw).value(p.Zw).end_array();
      }
      w.end_array();
    }
    w.end_object();
  }
  w.end_array();

  const zorvel_run_disparity_field& d = r.disparities;
  if (d.points.empty()) {
    w.key("disparities").null();
    return;
  }
  w.key("disparities").begin_object();
  w.field("chart", d.chart);
  w.field("width", d.width);
  w.field("height", d.height);
  w.field("mean_hd", d.mean_hd);
  w.field("count", static_cast<uint64_t>(d.points.size()));
  if (lists) {
    w.key("points").begin_array();
    for (const zorvel_run_point_disparity& p : d.points) {
      w.begin_array().value(p.y).value(p.x).value(p.vd).value(p.hd_deviation).end_array();
    }
    w.end_array();
  }
  w.end_object();
}

void write_record(json_writer& w, const zorvel_run_record& rec) {
  if (rec.kind.empty()) {
    w.key("record").null();
    return;
  }
  w.key("record").begin_object();
  w.field("kind", rec.kind);
  w.field("path", rec.path);
  w.field("written", rec.written);
  if (rec.written) {
    w.field("size", rec.size);
    w.field("sha256", rec.sha256);
  } else {
    w.field("reason", rec.why_not);
  }
  w.end_object();
}

}  // namespace

const char* run_kind_name(zorvel_run_kind kind) {
  switch (kind) {
    case zorvel_run_kind::l_and_flat: return "L+flat";
    case zorvel_run_kind::l_only: return "L-only";
    case zorvel_run_kind::flat_only: return "flat-only";
    case zorvel_run_kind::verification: return "verification";
    case zorvel_run_kind::none: break;
  }
  return "none";
}

const char* run_status_name(zorvel_run_status status) {
  switch (status) {
    case zorvel_run_status::passed: return "passed";
    case zorvel_run_status::failed: return "failed";
    case zorvel_run_status::diagnostic: return "diagnostic";
    case zorvel_run_status::not_tested: break;
  }
  return "not-tested";
}

std::string run_result_json(const zorvel_run_result& r, bool key_point_lists) {
  json_writer w(2);
  w.begin_object();
  w.field("schema", kRunResultSchemaId);
  w.field("schema_version", kRunResultSchemaVersion);
  w.field("library_version", kVersionText);
  w.field("config_path", r.config_path);
  w.field("mode", r.mode);
  w.field("kind", run_kind_name(r.kind));
  w.field("result", r.result);
  w.field("status", run_status_name(r.status));
  if (r.failed_stage.empty()) {
    w.key("failure").null();
  } else {
    w.key("failure").begin_object();
    w.field("stage", r.failed_stage);
    w.field("message", r.failure_message);
    w.end_object();
  }
  if (r.table.empty()) {
    w.key("table").null();
  } else {
    w.field("table", r.table);
  }
  write_rows(w, r);
  write_figures(w, r);
  write_points(w, r, key_point_lists);
  write_record(w, r.record);
  w.key("stages").begin_array();
  for (const zorvel_run_stage_time& s : r.stages) {
    w.begin_object().field("stage", s.stage).field("ms", s.ms).end_object();
  }
  w.end_array();
  w.key("notes").begin_array();
  for (const std::string& n : r.notes) w.value(n);
  w.end_array();
  w.end_object();
  return w.text() + "\n";
}

}  // namespace zorvel
