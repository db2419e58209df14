// The field tables of the OTP and interim records: every field in file order.
// Reading, writing, the size checks and the finiteness checks all walk these
// lists, so the file layout is written down exactly once per record.
#pragma once

#include <cstddef>
#include <type_traits>

#include "otp/otp_record.h"

namespace zorvel {

// Calls visit(field) for every field of the record (const or not) in file
// order; array fields are handed over whole.
template <class Record, class Visit>
constexpr void for_each_field(Record& r, Visit&& visit) {
  using plain = std::remove_const_t<Record>;
  if constexpr (std::is_same_v<plain, zorvel_otp_data>) {
    visit(r.version);                                // 0
    visit(r.main_focal_length_px);                   // 4
    visit(r.main_native_width);                      // 8
    visit(r.main_native_height);                     // 10
    visit(r.main_scaled_width);                      // 12
    visit(r.main_scaled_height);                     // 14
    visit(r.main_focal_length_ratio);                // 16
    visit(r.aux_focal_length_px);                    // 20
    visit(r.aux_native_width);                       // 24
    visit(r.aux_native_height);                      // 26
    visit(r.aux_scaled_width);                       // 28
    visit(r.aux_scaled_height);                      // 30
    visit(r.aux_focal_length_ratio);                 // 32
    visit(r.rot);                                    // 36
    visit(r.geo);                                    // 72
    visit(r.projection_offset_x);                    // 200
    visit(r.projection_offset_y);                    // 204
    visit(r.main_aux_position_flag);                 // 208
    visit(r.cam_baseline_mm);                        // 210
    visit(r.main_mirror_flip_setting);               // 214
    visit(r.aux_mirror_flip_setting);                // 216
    visit(r.orientation_flag);                       // 218
    visit(r.rotation_flag);                          // 220
    visit(r.flat_residual_vd);                       // 222
    visit(r.dewarp_version);                         // 226
    visit(r.aux_dewarp_coeff);                       // 227
    visit(r.aux_fl_dewarping_reference);             // 267
    visit(r.fov_used_for_computation);               // 271
    visit(r.max_hd_variation_tenths);                // 272
    visit(r.max_vd_variation_tenths);                // 273
    visit(r.l_residual_vd);                          // 274
    visit(r.l_scale_error);                          // 278
    visit(r.flat_scale_error);                       // 282
    visit(r.l_distance_error_percent);               // 286
    visit(r.flat_hd_stdev);                          // 290
    visit(r.flat_max_vd_tenths);                     // 294
    visit(r.flat_max_hd_delta_tenths);               // 295
    visit(r.flat_chart_distance_cm);                 // 296
    visit(r.vd_rms_zoned_tenths);                    // 297
    visit(r.hd_rms_zoned_tenths);                    // 306
    visit(r.vd_p95_tenths);                          // 315
    visit(r.vd_p80_tenths);                          // 316
    visit(r.vd_p90_tenths);                          // 317
    visit(r.hd_p95_tenths);                          // 318
    visit(r.hd_p80_tenths);                          // 319
    visit(r.hd_spread_tenths);                       // 320
    visit(r.vd_percentile_metric);                   // 321
    visit(r.hd_percentile_metric);                   // 322
    visit(r.percentage_fov_for_metric_calculation);  // 323
    visit(r.percentile_for_variation_in_disparity);  // 324
    visit(r.reserved);                               // 325
    visit(r.main_dewarp_coeff);                      // 326
    visit(r.main_fl_dewarping_reference);            // 366
    visit(r.main_warp_coeff);                        // 370
    visit(r.aux_warp_coeff);                         // 410
    visit(r.main_kp_fl_ratio);                       // 450
    visit(r.main_adjust_ratio);                      // 455
    visit(r.aux_kp_fl_ratio);                        // 460
    visit(r.aux_adjust_ratio);                       // 465, ends at 470
  } else if constexpr (std::is_same_v<plain, zorvel_otp_interim_data>) {
    visit(r.version);                      // 0
    visit(r.main_focal_length_px);         // 4
    visit(r.main_native_width);            // 8
    visit(r.main_native_height);           // 10
    visit(r.main_scaled_width);            // 12
    visit(r.main_scaled_height);           // 14
    visit(r.main_focal_length_ratio);      // 16
    visit(r.aux_focal_length_px);          // 20
    visit(r.aux_native_width);             // 24
    visit(r.aux_native_height);            // 26
    visit(r.aux_scaled_width);             // 28
    visit(r.aux_scaled_height);            // 30
    visit(r.aux_focal_length_ratio);       // 32
    visit(r.rot);                          // 36
    visit(r.projection_offset_x);          // 72
    visit(r.projection_offset_y);          // 76
    visit(r.dewarp_version);               // 80
    visit(r.aux_dewarp_coeff);             // 81
    visit(r.aux_fl_dewarping_reference);   // 121
    visit(r.l_distance_error_percent);     // 125
    visit(r.l_chart_point_count);          // 129
    visit(r.main_l_point_y);               // 133
    visit(r.main_l_point_x);               // 533
    visit(r.aux_l_point_y);                // 933
    visit(r.aux_l_point_x);                // 1333
    visit(r.main_l_label_yw);              // 1733
    visit(r.main_l_label_xw);              // 1933
    visit(r.aux_l_label_yw);               // 2133
    visit(r.aux_l_label_xw);               // 2333
    visit(r.main_dewarp_coeff);            // 2533
    visit(r.main_fl_dewarping_reference);  // 2573, ends at 2577
  } else {
    static_assert(!sizeof(Record), "not a stored record");
  }
}

// Calls visit(scalar) for a scalar field, or for each element of an array
// field in index order.
template <class Field, class Visit>
constexpr void for_each_element(Field& field, Visit&& visit) {
  if constexpr (std::is_array_v<Field>) {
    for (auto& element : field) visit(element);
  } else {
    visit(field);
  }
}

// Bytes the record occupies on file: the sum of the field widths.
template <class Record>
constexpr size_t stored_size() {
  Record r{};
  size_t bytes = 0;
  for_each_field(r, [&](auto& field) { bytes += sizeof(field); });
  return bytes;
}

static_assert(stored_size<zorvel_otp_data>() == kOtpFileSize);
static_assert(stored_size<zorvel_otp_interim_data>() == kInterimFileSize);

}  // namespace zorvel
