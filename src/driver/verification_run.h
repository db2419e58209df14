// The verification run: everything after the verification parser accepted
// the configuration at config_path. Returns 1 on success, 0 on failure.
#pragma once

#include <cstdint>

#include "config/verif_config.h"

namespace zorvel {

int32_t run_verification(const zorvel_verif_config& config, const char* config_path,
                         uint8_t mode);

}  // namespace zorvel
