// The measuring half of the depth verification: the flat chart's key points
// of the main capture and of the rectified aux image, paired by label, give
// the distance errors, residual disparities and scale difference.
#pragma once

#include <cstdint>

#include "detect/chart_pair.h"
#include "verify/verification_records.h"

namespace zorvel {

// dewarped's main set holds n_main detected points, rectified's aux set n_aux
// (positions of the rectified image). main_focal_px is the effective main
// focal length. Not ok after printing why when no pair was found. details,
// when given, moves into the result with the pair counts and disparities added.
zorvel_verification_result measure_rectified_pairs(const zorvel_verification_input& input,
                                                   zorvel_chart_pair dewarped,
                                                   zorvel_chart_pair rectified,
                                                   double main_focal_px, int32_t n_main,
                                                   int32_t n_aux,
                                                   zorvel_run_details* details = nullptr);

}  // namespace zorvel
