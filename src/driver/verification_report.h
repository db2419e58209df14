// What a verification run prints from its result: the PASS/FAIL table.
// Station software parses these lines, so widths, orders and number formats
// are fixed; call them inside a C numeric locale (the entry point does).
#pragma once

#include <cstdio>

#include "config/verif_config.h"
#include "driver/context.h"

namespace zorvel {

// Prints the table and returns the any-FAIL flag. metrics_measured = false
// when the run mode skipped the measurement: every row shows the record's
// value but fails. scale_measured = false when the scale difference could not
// be computed: its row still shows the stored -1.00 but fails.
bool print_verification_table(std::FILE* out, const zorvel_calib_context& verify_ctx,
                              const zorvel_verif_config& config, bool metrics_measured,
                              bool scale_measured);

}  // namespace zorvel
