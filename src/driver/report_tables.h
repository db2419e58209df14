// The PASS/FAIL tables of both runs and the reference metrics a calibration
// prints from the OTP record it is about to write. Station software parses
// these lines, so widths, orders and number formats are fixed; call them
// inside a C numeric locale (the entry point does).
#pragma once

#include <cstdio>
#include <vector>

#include "config/calib_config.h"
#include "calib/calibration_model.h"
#include "driver/run_result.h"
#include "otp/otp_record.h"

namespace zorvel {

// Each table prints its title, header and rows; the result is the any-FAIL
// flag (true when at least one row failed). rows, when given, receives each
// printed row as data.
bool print_calibration_table(std::FILE* out, const zorvel_calibration_result& result,
                             const zorvel_calib_config& config,
                             std::vector<zorvel_run_row>* rows = nullptr);

// The one-row table of an L-chart-only calibration.
bool print_l_chart_table(std::FILE* out, const zorvel_calibration_result& result,
                         const zorvel_calib_config& config,
                         std::vector<zorvel_run_row>* rows = nullptr);

// The measured mean disparity against the one the baseline gives at the flat
// chart's distance (mm), between the run's own header and footer lines.
void print_disparity_debug_info(std::FILE* out, const char* header, const char* footer,
                                float distance_mm, float mean_disparity,
                                float reference_disparity);

// "Reference Metrics from Calib", from the record as it will be stored
// (tenths bytes divided by 10 in double precision).
void print_reference_metrics(std::FILE* out, const zorvel_otp_data& record);

}  // namespace zorvel
