// Filling a run's result record beside its printed report: stage times, why
// it stopped, and the figures of each run copied from the records the
// printing code already holds.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "calib/calibration_model.h"
#include "config/calib_config.h"
#include "config/verif_config.h"
#include "detect/run_details.h"
#include "driver/run_result.h"
#include "otp/otp_record.h"
#include "verify/verification_records.h"

namespace zorvel {

// Times consecutive stages into result.stages; a new stage ends the one
// before, and so does the clock's end.
class stage_clock {
 public:
  explicit stage_clock(zorvel_run_result& result) : result_(result) {}
  ~stage_clock() { stop(); }
  stage_clock(const stage_clock&) = delete;
  stage_clock& operator=(const stage_clock&) = delete;

  void start(const char* stage);
  void stop();

 private:
  zorvel_run_result& result_;
  std::string stage_;
  std::chrono::steady_clock::time_point since_;
};

// Marks the run as ended in stage with status; the message is the first
// failure the run printed, or fallback when it printed none through
// report_failure.
void end_run(zorvel_run_result& r, zorvel_run_status status, const char* stage,
             const std::string& fallback);

// Key points, per-pair disparities and reduced images of the details.
void collect_details(zorvel_run_result& r, const zorvel_run_details& d);

void collect_calibration(zorvel_run_result& r, const zorvel_calibration_setup& setup,
                         const zorvel_calibration_result& result);

// The reference block and zone maps as printed from the record to be stored.
void collect_reference(zorvel_run_result& r, const zorvel_otp_data& record,
                       const zorvel_calibration_result& result, float distance_mm);

void collect_verification(zorvel_run_result& r, const zorvel_verif_config& config,
                          const zorvel_verification_input& input,
                          const zorvel_verification_result& result);

// The record as written: kind, path, size and SHA-256 of bytes.
void record_written(zorvel_run_result& r, const char* kind, const std::string& path,
                    const std::vector<uint8_t>& bytes);
void record_not_written(zorvel_run_result& r, const char* kind, const std::string& path,
                        const std::string& why);

// The one-line verdict of the run, e.g. "FAIL flat-chart residual vertical
// disparity 1.23 > 1.00; no record written".
std::string run_summary(const zorvel_run_result& r);

}  // namespace zorvel
