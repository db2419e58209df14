// The calibration run: everything after the calibration parser accepted the
// configuration at config_path. Returns 1 on success, 0 on failure.
#pragma once

#include <cstdint>

#include "config/calib_config.h"
#include "driver/run_result.h"

namespace zorvel {

// rr receives what the run found as it goes; options may ask for images.
int32_t run_calibration(const zorvel_calib_config& config, const char* config_path,
                        uint8_t mode, const zorvel_run_options& options, zorvel_run_result& rr);

}  // namespace zorvel
