// The verification run: everything after the verification parser accepted
// the configuration at config_path. False after printing why the run failed
// or when a table row failed.
#pragma once

#include <cstdint>

#include "config/verif_config.h"
#include "driver/run_result.h"

namespace zorvel {

// rr receives what the run found as it goes; options may ask for images.
bool run_verification(const zorvel_verif_config& config, const char* config_path, uint8_t mode,
                      const zorvel_run_options& options, zorvel_run_result& rr);

}  // namespace zorvel
