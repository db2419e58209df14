// After the printed report: the picture of the run and its JSON result, each
// only when asked for. A path that cannot be written is reported in one line
// on standard error and changes neither the run's result nor its record.
#pragma once

#include "driver/run_result.h"

namespace zorvel {

// Never throws. options.json_path "-" writes the JSON to standard output.
void write_run_outputs(zorvel_run_result& r, const zorvel_run_options& options);

}  // namespace zorvel
