// The entry point behind the exported C function: banner, choice of run,
// the combined parser report, and the guarantee that nothing escapes the call.
#pragma once

#include <cstdint>

namespace zorvel {

// Returns 1 on success, 0 on failure. Never throws.
int32_t calibrate(const char* config_path, uint8_t mode);

}  // namespace zorvel
