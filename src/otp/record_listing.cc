// Names, units and checks of the stored records. The names follow the field
// tables of record_fields.h one for one; the listing walks both together.
#include "otp/record_listing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <type_traits>

#include "common/little_endian.h"
#include "otp/otp_record.h"
#include "otp/record_fields.h"
#include "zorvel_version.h"

namespace zorvel {
namespace {

struct field_label {
  std::string_view name, unit;
  int per_row = 1;
};

constexpr std::string_view kPx = "px", kTenths = "0.1px", kPercent = "%", kRatioStep = "1e-4";

constexpr field_label kOtpLabels[] = {
    {"version", ""},
    {"main_focal_length_px", kPx},
    {"main_native_width", kPx},
    {"main_native_height", kPx},
    {"main_scaled_width", kPx},
    {"main_scaled_height", kPx},
    {"main_focal_length_ratio", ""},
    {"aux_focal_length_px", kPx},
    {"aux_native_width", kPx},
    {"aux_native_height", kPx},
    {"aux_scaled_width", kPx},
    {"aux_scaled_height", kPx},
    {"aux_focal_length_ratio", ""},
    {"rot", "", 3},
    {"geo", "", 6},
    {"projection_offset_x", kPx},
    {"projection_offset_y", kPx},
    {"main_aux_position_flag", ""},
    {"cam_baseline_mm", "mm"},
    {"main_mirror_flip_setting", ""},
    {"aux_mirror_flip_setting", ""},
    {"orientation_flag", ""},
    {"rotation_flag", ""},
    {"flat_residual_vd", kPx},
    {"dewarp_version", ""},
    {"aux_dewarp_coeff", "", 5},
    {"aux_fl_dewarping_reference", kPx},
    {"fov_used_for_computation", kPercent},
    {"max_hd_variation_tenths", kTenths},
    {"max_vd_variation_tenths", kTenths},
    {"l_residual_vd", kPx},
    {"l_scale_error", kPercent},
    {"flat_scale_error", kPercent},
    {"l_distance_error_percent", kPercent},
    {"flat_hd_stdev", kPx},
    {"flat_max_vd_tenths", kTenths},
    {"flat_max_hd_delta_tenths", kTenths},
    {"flat_chart_distance_cm", "cm"},
    {"vd_rms_zoned_tenths", kTenths, 3},
    {"hd_rms_zoned_tenths", kTenths, 3},
    {"vd_p95_tenths", kTenths},
    {"vd_p80_tenths", kTenths},
    {"vd_p90_tenths", kTenths},
    {"hd_p95_tenths", kTenths},
    {"hd_p80_tenths", kTenths},
    {"hd_spread_tenths", kTenths},
    {"vd_percentile_metric", kTenths},
    {"hd_percentile_metric", kTenths},
    {"percentage_fov_for_metric_calculation", kPercent},
    {"percentile_for_variation_in_disparity", kPercent},
    {"reserved", ""},
    {"main_dewarp_coeff", "", 5},
    {"main_fl_dewarping_reference", kPx},
    {"main_warp_coeff", "", 5},
    {"aux_warp_coeff", "", 5},
    {"main_kp_fl_ratio", kRatioStep, 5},
    {"main_adjust_ratio", kRatioStep, 5},
    {"aux_kp_fl_ratio", kRatioStep, 5},
    {"aux_adjust_ratio", kRatioStep, 5},
};

constexpr field_label kInterimLabels[] = {
    {"version", ""},
    {"main_focal_length_px", kPx},
    {"main_native_width", kPx},
    {"main_native_height", kPx},
    {"main_scaled_width", kPx},
    {"main_scaled_height", kPx},
    {"main_focal_length_ratio", ""},
    {"aux_focal_length_px", kPx},
    {"aux_native_width", kPx},
    {"aux_native_height", kPx},
    {"aux_scaled_width", kPx},
    {"aux_scaled_height", kPx},
    {"aux_focal_length_ratio", ""},
    {"rot", "", 3},
    {"projection_offset_x", kPx},
    {"projection_offset_y", kPx},
    {"dewarp_version", ""},
    {"aux_dewarp_coeff", "", 5},
    {"aux_fl_dewarping_reference", kPx},
    {"l_distance_error_percent", kPercent},
    {"l_chart_point_count", ""},
    {"main_l_point_y", kPx, 10},
    {"main_l_point_x", kPx, 10},
    {"aux_l_point_y", kPx, 10},
    {"aux_l_point_x", kPx, 10},
    {"main_l_label_yw", "", 10},
    {"main_l_label_xw", "", 10},
    {"aux_l_label_yw", "", 10},
    {"aux_l_label_xw", "", 10},
    {"main_dewarp_coeff", "", 5},
    {"main_fl_dewarping_reference", kPx},
};

template <class Record>
constexpr size_t field_count() {
  Record r{};
  size_t n = 0;
  for_each_field(r, [&](auto&) { ++n; });
  return n;
}

static_assert(field_count<zorvel_otp_data>() == std::size(kOtpLabels));
static_assert(field_count<zorvel_otp_interim_data>() == std::size(kInterimLabels));

template <class T>
constexpr stored_type type_of() {
  if constexpr (std::is_same_v<T, uint8_t>) return stored_type::u8;
  if constexpr (std::is_same_v<T, int8_t>) return stored_type::i8;
  if constexpr (std::is_same_v<T, uint16_t>) return stored_type::u16;
  if constexpr (std::is_same_v<T, int16_t>) return stored_type::i16;
  if constexpr (std::is_same_v<T, uint32_t>) return stored_type::u32;
  if constexpr (std::is_same_v<T, float>) return stored_type::f32;
  if constexpr (std::is_same_v<T, double>) return stored_type::f64;
}

// Shortest text that reads back to the same double, '.' whatever the locale.
std::string number(double v) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, v);
  return std::string(text, end.ptr);
}

std::string hex(uint32_t v) {
  char text[16];
  const auto end = std::to_chars(text, text + sizeof text, v, 16);
  return "0x" + std::string(text, end.ptr);
}

class check_list {
 public:
  explicit check_list(const std::vector<record_field>& fields) : fields_(fields) {}

  void fail(std::string_view field, std::string message) {
    failures_.push_back({std::string(field), std::move(message)});
  }
  const record_field* find(std::string_view name) const {
    for (const auto& f : fields_) {
      if (f.name == name) return &f;
    }
    return nullptr;
  }
  // Failures in file order, so a listing of them reads like the record.
  std::vector<record_check_failure> sorted() && {
    const auto offset = [&](const record_check_failure& f) {
      const record_field* field = find(f.field);
      return field ? field->offset : 0;
    };
    std::stable_sort(failures_.begin(), failures_.end(),
                     [&](const auto& a, const auto& b) { return offset(a) < offset(b); });
    return std::move(failures_);
  }

 private:
  const std::vector<record_field>& fields_;
  std::vector<record_check_failure> failures_;
};

void check_finite(const std::vector<record_field>& fields, check_list& checks) {
  for (const auto& f : fields) {
    if (f.type != stored_type::f32 && f.type != stored_type::f64) continue;
    std::vector<size_t> bad;
    for (size_t i = 0; i < f.values.size(); ++i) {
      if (!std::isfinite(f.values[i])) bad.push_back(i);
    }
    if (bad.empty()) continue;
    if (f.values.size() == 1) {
      checks.fail(f.name, "is not a finite number");
    } else {
      checks.fail(f.name, "has " + std::to_string(bad.size()) + " of " + std::to_string(f.values.size()) +
                              " values that are not finite numbers (the first at index " +
                              std::to_string(bad.front()) + ")");
    }
  }
}

void check_rotation(const record_field& rot, check_list& checks) {
  const std::vector<double>& r = rot.values;
  if (!std::all_of(r.begin(), r.end(), [](double v) { return std::isfinite(v); })) return;
  double worst = 0.0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double dot = 0.0;
      for (int k = 0; k < 3; ++k) dot += r[static_cast<size_t>(3 * i + k)] * r[static_cast<size_t>(3 * j + k)];
      worst = std::max(worst, std::fabs(dot - (i == j ? 1.0 : 0.0)));
    }
  }
  if (worst > kRotationTolerance) {
    checks.fail(rot.name, "is not orthonormal: R Rt differs from the identity by " + number(worst) +
                              " (at most " + number(kRotationTolerance) + " allowed)");
    return;
  }
  const double det = r[0] * (r[4] * r[8] - r[5] * r[7]) - r[1] * (r[3] * r[8] - r[5] * r[6]) +
                     r[2] * (r[3] * r[7] - r[4] * r[6]);
  if (det < 0.0) checks.fail(rot.name, "is a reflection (determinant " + number(det) + "), not a rotation");
}

void check_fields(const std::vector<record_field>& fields, check_list& checks) {
  const auto scalar = [&](std::string_view name) { return checks.find(name)->values.front(); };
  const double version = scalar("version");
  if (version != static_cast<double>(kLibraryVersion)) {
    checks.fail("version", "is " + hex(static_cast<uint32_t>(version)) + "; this library writes " +
                               hex(kLibraryVersion));
  }
  const double dewarp = scalar("dewarp_version");
  if (dewarp != static_cast<double>(kDewarpVersion)) {
    checks.fail("dewarp_version", "is " + number(dewarp) + "; this library writes " +
                                      std::to_string(kDewarpVersion));
  }
  check_finite(fields, checks);
  // A verification refuses a record whose focal lengths or ratios are not
  // positive: every later step divides by them.
  for (const char* name : {"main_focal_length_px", "main_focal_length_ratio", "aux_focal_length_px",
                           "aux_focal_length_ratio"}) {
    const double v = scalar(name);
    if (std::isfinite(v) && !(v > 0.0)) checks.fail(name, "is " + number(v) + "; it must be positive");
  }
  check_rotation(*checks.find("rot"), checks);

  // The calibration stores a zone's deviation as trunc(d) for |d| < 127 and
  // 127 otherwise, so -127 and -128 never occur.
  if (const record_field* zones = checks.find("hd_rms_zoned_tenths")) {
    for (size_t k = 0; k < zones->values.size(); ++k) {
      if (zones->values[k] < -126.0) {
        checks.fail(zones->name, "zone " + std::to_string(k) + " is " + number(zones->values[k]) +
                                     "; the calibration stores -126 to 127");
      }
    }
  }
  if (const record_field* reserved = checks.find("reserved"); reserved && reserved->values[0] != 0.0) {
    checks.fail("reserved", "is " + number(reserved->values[0]) + "; it is always 0");
  }
  if (const record_field* count = checks.find("l_chart_point_count");
      count && count->values[0] > kMaxStoredLChartPoints) {
    checks.fail("l_chart_point_count", "is " + number(count->values[0]) + "; the record holds at most " +
                                           std::to_string(kMaxStoredLChartPoints) + " points");
  }
}

template <class Record, size_t N>
std::vector<record_field> decode_fields(const uint8_t* bytes, const field_label (&labels)[N]) {
  std::vector<record_field> fields;
  Record record{};
  size_t at = 0;
  for_each_field(record, [&](auto& field) {
    const field_label& label = labels[fields.size()];
    record_field f;
    f.name = label.name;
    f.unit = label.unit;
    f.per_row = label.per_row;
    f.offset = at;
    for_each_element(field, [&](auto& element) {
      using T = std::remove_reference_t<decltype(element)>;
      f.type = type_of<T>();
      const T value = le::get<T>(bytes + at);
      at += sizeof(T);
      f.values.push_back(static_cast<double>(value));
      if constexpr (std::is_integral_v<T> && sizeof(T) == 1) {
        if (label.unit == kRatioStep) f.decoded.push_back(static_cast<double>(decode_ratio_byte(value)));
      }
    });
    fields.push_back(std::move(f));
  });
  return fields;
}

}  // namespace

record_listing list_record(const uint8_t* bytes, size_t size) {
  record_listing listing;
  listing.size = size;
  if (bytes != nullptr && size == kOtpFileSize) {
    listing.kind = stored_record_kind::otp;
    listing.fields = decode_fields<zorvel_otp_data>(bytes, kOtpLabels);
  } else if (bytes != nullptr && size == kInterimFileSize) {
    listing.kind = stored_record_kind::interim;
    listing.fields = decode_fields<zorvel_otp_interim_data>(bytes, kInterimLabels);
  } else {
    listing.failures.push_back({"size", "is " + std::to_string(size) + " bytes; an OTP record is " +
                                            std::to_string(kOtpFileSize) + " bytes and an interim record " +
                                            std::to_string(kInterimFileSize)});
    return listing;
  }
  check_list checks(listing.fields);
  check_fields(listing.fields, checks);
  listing.failures = std::move(checks).sorted();
  return listing;
}

const char* record_kind_name(stored_record_kind kind) {
  switch (kind) {
    case stored_record_kind::otp:
      return "otp";
    case stored_record_kind::interim:
      return "interim";
    case stored_record_kind::none:
      break;
  }
  return "none";
}

const char* stored_type_name(stored_type type) {
  switch (type) {
    case stored_type::u8:
      return "u8";
    case stored_type::i8:
      return "i8";
    case stored_type::u16:
      return "u16";
    case stored_type::i16:
      return "i16";
    case stored_type::u32:
      return "u32";
    case stored_type::f32:
      return "f32";
    case stored_type::f64:
      return "f64";
  }
  return "?";
}

}  // namespace zorvel
