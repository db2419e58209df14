// The calibration run: everything after the calibration parser accepted the
// configuration at config_path. Returns 1 on success, 0 on failure.
#pragma once

#include <cstdint>

#include "config/calib_config.h"

namespace zorvel {

int32_t run_calibration(const zorvel_calib_config& config, const char* config_path,
                        uint8_t mode);

}  // namespace zorvel
