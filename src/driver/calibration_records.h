// The two records a calibration run writes: the interim record of an
// L-chart-only run and the OTP record of a flat-chart run, filled from the
// run record and the configuration, with the byte quantisation of the OTP.
#pragma once

#include <cstdint>
#include <cstdio>

#include "config/calib_config.h"
#include "calib/calibration_model.h"
#include "otp/otp_record.h"

namespace zorvel {

zorvel_otp_interim_data build_interim_record(const zorvel_calib_config& config,
                                             const zorvel_calibration_setup& setup,
                                             const zorvel_calibration_result& result);

// Adjustment ratios outside what their bytes hold are clamped, with a
// "Warning: <key>_<i> = <value> clamped to <bound>" line on warnings.
zorvel_otp_data build_otp_record(const zorvel_calib_config& config,
                                 const zorvel_calibration_setup& setup,
                                 const zorvel_calibration_result& result, std::FILE* warnings);

// trunc(1280 / width x height) in single precision, saturated to 16 bits.
uint16_t scaled_height(int32_t width, int32_t height);

// trunc(10 v) in single precision, saturated to 0..255 (NaN gives 255, so a
// broken metric never reads as a small one).
uint8_t saturated_tenths(float v);

// One adjustment ratio as its byte: trunc((r - 1) x 10000) in double
// precision; r outside [lo, hi] (or NaN) stores the nearest end (NaN: 1.0)
// and prints the warning naming key_prefix_index.
uint8_t encode_unsigned_ratio(float r, const char* key_prefix, int index, std::FILE* warnings);
int8_t encode_signed_ratio(float r, const char* key_prefix, int index, std::FILE* warnings);

}  // namespace zorvel
