// The verification run: everything after the verification parser accepted
// the configuration at config_path. False after printing why the run failed
// or when a table row failed.
#pragma once

#include <cstdint>

#include "config/verif_config.h"

namespace zorvel {

bool run_verification(const zorvel_verif_config& config, const char* config_path, uint8_t mode);

}  // namespace zorvel
