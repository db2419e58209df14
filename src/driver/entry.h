// The entry point behind the exported C function: banner, choice of run,
// the combined parser report, and the guarantee that nothing escapes the call.
#pragma once

#include <cstdint>

#include "driver/run_result.h"

namespace zorvel {

// Returns 1 on success, 0 on failure. Never throws. Writes the JSON result
// only when the configuration names one.
int32_t calibrate(const char* config_path, uint8_t mode);

// The same run with the caller's options; out, when given, receives what the
// run found. The printed text and the return value are those of calibrate();
// the JSON result goes to options.json_path when set ("-": standard output,
// after the text), else to the configuration's result_json_file.
int32_t run(const char* config_path, uint8_t mode, const zorvel_run_options& options,
            zorvel_run_result* out);

}  // namespace zorvel
