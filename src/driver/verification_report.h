// What a verification run prints from its result: the mode-1 debug figures,
// the mode-2 list of rectified frames and the PASS/FAIL table. Station
// software parses these lines, so widths, orders and number formats are
// fixed; call them inside a C numeric locale (the entry point does).
#pragma once

#include <cstdio>

#include <vector>

#include "config/verif_config.h"
#include "driver/run_result.h"
#include "verify/verification_records.h"

namespace zorvel {

// Mean and reference disparity at the configured distance.
void print_verification_debug_info(std::FILE* out, const zorvel_verif_config& config,
                                   const zorvel_verification_result& result);

// The debug images a rectified-frames-only run leaves behind.
void print_rectified_frames_notice(std::FILE* out);

// Prints the table and returns the any-FAIL flag. A row passes only when its
// figure was measured (see row_passes): when the run mode skipped the
// measurement every row shows the result's value but fails, and an
// unmeasured scale difference shows its -1.00 but fails.
// rows, when given, receives each printed row as data.
bool print_verification_table(std::FILE* out, const zorvel_verification_result& result,
                              const zorvel_verif_config& config,
                              std::vector<zorvel_run_row>* rows = nullptr);

}  // namespace zorvel
