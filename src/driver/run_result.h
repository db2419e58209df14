// What one run found, as data: collected beside the printed report while the
// run goes, never instead of it. The command writes it as a JSON result and a
// picture of the run is drawn from it; the exported C function fills one too
// and writes it only when the configuration names a result file.
//
// Units follow the printed report: pixels of the 1280-pixel working image,
// degrees, percent, milliseconds. A float that could not be measured is NaN
// (written as null). Fields are only ever added here, never renamed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvel {

// Which run the configuration chose.
enum class zorvel_run_kind {
  none,          // neither parser accepted the configuration
  l_and_flat,    // calibration, L chart then flat chart
  l_only,        // calibration, L chart only (writes the interim record)
  flat_only,     // calibration, flat chart completing an interim record
  verification,  // depth verification against a stored record
};

// How a station reads the run, beyond the library's 1 or 0.
enum class zorvel_run_status {
  passed,      // measured, every row passed
  failed,      // measured, a row failed (or the measurement itself failed)
  not_tested,  // configuration, capture or record unreadable or unwritable, internal error
  diagnostic,  // a diagnostic mode that measured nothing
};

// One row of the printed PASS/FAIL table. value is what the row prints
// before rounding; a percentile row's value is its byte in tenths / 10.
struct zorvel_run_row {
  std::string name;  // the printed name without padding, e.g. "Flat-chart: Scale difference [%]"
  float value = 0.0f;
  float threshold = 0.0f;
  bool measured = true;  // false when the run mode skipped the figure
  bool pass = false;
  int32_t fov_percent = -1;  // percentile rows only, else -1
  int32_t percentile = -1;
};

// One labelled corner of a working image; entry 0 of a list is the origin.
struct zorvel_run_point {
  int32_t y = 0;  // row, working pixels from the top-left
  int32_t x = 0;
  int32_t Yw = 0;  // grid labels
  int32_t Xw = 0;
  int32_t Zw = 0;  // depth label of the L chart, 0 on the flat chart
};

// The key points found in one working image.
struct zorvel_run_key_points {
  std::string image;  // "main L", "aux L", "main flat", "aux flat"
  int32_t width = 0;  // working image size
  int32_t height = 0;
  int32_t detected = 0;  // labelled corners found; -1 when no origin was found
  int32_t paired = -1;   // kept after pairing with the other camera, -1 if not paired
  std::vector<zorvel_run_point> points;  // the detected corners, origin first
};

// The disparity of one matched corner pair after the aux corner was mapped
// into the main frame.
struct zorvel_run_point_disparity {
  float y = 0.0f;  // main corner, working pixels from the top-left
  float x = 0.0f;
  float vd = 0.0f;            // vertical disparity (aux row - main row)
  float hd_deviation = 0.0f;  // horizontal disparity minus the mean of all pairs
};

// Per-pair disparities of the flat chart (calibration) or the verification pair.
struct zorvel_run_disparity_field {
  std::string chart;  // "flat"
  int32_t width = 0;  // working size of the main image
  int32_t height = 0;
  float mean_hd = 0.0f;
  std::vector<zorvel_run_point_disparity> points;
};

// A working image reduced for a picture, 8-bit RGB interleaved, top row first.
// Only kept when the options ask for images.
struct zorvel_run_image {
  std::string image;  // as zorvel_run_key_points::image
  int32_t width = 0;  // reduced size
  int32_t height = 0;
  int32_t reduction = 1;  // working pixels per reduced pixel along each axis
  std::vector<uint8_t> rgb;
};

// Relative orientation of the aux camera, degrees, as printed after the table.
struct zorvel_run_angles {
  bool present = false;
  double pitch_deg = 0.0;
  double yaw_deg = 0.0;
  double roll_deg = 0.0;
};

// Focal lengths in working pixels and the focal-length ratios behind them.
struct zorvel_run_focal_lengths {
  bool present = false;
  float main_px = 0.0f;
  float aux_px = 0.0f;
  float main_ratio_l = 0.0f;     // at the L chart's focus
  float aux_ratio_l = 0.0f;
  float main_ratio_flat = 0.0f;  // at the flat chart's focus (verification: configured)
  float aux_ratio_flat = 0.0f;
};

// The "Reference Metrics from Calib" block and the debug disparity figures.
// Verification fills the figures it measures and leaves the rest NaN.
struct zorvel_run_reference {
  bool present = false;
  float flat_residual_vd = 0.0f;
  float flat_scale_error = 0.0f;
  float flat_hd_stdev = 0.0f;
  float l_residual_vd = 0.0f;
  float l_scale_error = 0.0f;
  float l_distance_error_percent = 0.0f;
  double flat_max_vd = 0.0;        // as stored, tenths / 10
  double flat_max_hd_delta = 0.0;  // as stored, tenths / 10
  int32_t flat_chart_distance_cm = 0;
  float mean_disparity = 0.0f;       // measured on the flat chart
  float reference_disparity = 0.0f;  // expected from the baseline at the chart's distance
  float flat_chart_distance_mm = 0.0f;
};

// 3 x 3 RMS zone maps in pixels (the stored tenths / 10); zone k = 3 x column
// band + row band, as printed.
struct zorvel_run_zone_maps {
  bool present = false;
  double vd[9] = {};
  double hd[9] = {};  // relative to the mean disparity
};

// The record the run wrote, or why it wrote none.
struct zorvel_run_record {
  std::string kind;  // "otp", "interim", or empty when the run writes none
  std::string path;  // as configured
  bool written = false;
  uint64_t size = 0;
  std::string sha256;  // lower-case hex of the bytes written
  std::string why_not;  // when not written: "a row failed", "write failed", ...
};

struct zorvel_run_stage_time {
  std::string stage;  // "configuration", "captures", "calibration", "report", ...
  double ms = 0.0;
};

// Extra figures of a verification beyond its table.
struct zorvel_run_verification {
  bool present = false;
  float distance_error_percent = 0.0f;
  float mean_distance_percent = 0.0f;
  float max_vd_px = 0.0f;
  float fov_at_max_vd_percent = 0.0f;
  float residual_vd_px = 0.0f;
};

struct zorvel_run_result {
  std::string config_path;
  uint32_t mode = 0;
  zorvel_run_kind kind = zorvel_run_kind::none;
  int32_t result = 0;  // what the library returns
  zorvel_run_status status = zorvel_run_status::not_tested;
  std::string failed_stage;     // empty unless the run ended early or failed inside a stage
  std::string failure_message;  // the message that ended it, one line

  std::string table;  // title of the printed table, empty when none was printed
  std::vector<zorvel_run_row> rows;

  zorvel_run_angles angles;
  zorvel_run_focal_lengths focal;
  std::vector<float> geometry_correction;  // calibration: the 18 stored; verification: the 32 used
  zorvel_run_reference reference;
  zorvel_run_zone_maps zones;
  zorvel_run_verification verification;

  std::vector<zorvel_run_key_points> key_points;  // one entry per working image detected on
  zorvel_run_disparity_field disparities;
  std::vector<zorvel_run_image> images;  // only with zorvel_run_options::want_images

  zorvel_run_record record;
  std::vector<zorvel_run_stage_time> stages;

  std::string json_path;   // where the result went, empty when nowhere
  std::string report_dir;  // where a picture of the run is wanted, empty when not
  std::vector<std::string> notes;  // problems writing the result or report, one line each
};

// What the caller asks beyond the configuration.
struct zorvel_run_options {
  std::string json_path;   // overrides result_json_file; "-" means standard output after the text
  bool key_point_lists = false;  // write the key-point lists into the JSON (counts always)
  std::string report_dir;  // overrides result_report_dir
  bool want_images = false;  // keep reduced working images in the record
  int32_t image_reduction = 4;
};

}  // namespace zorvel
