// Depth verification: after the unwarp stage, the flat chart's corners are
// detected in the main capture and in the rectified aux image, paired by
// label, and the residual disparities, distance errors and scale difference
// are measured.
#pragma once

#include "detect/chart_pair.h"
#include "verify/verification_records.h"

namespace zorvel {

// Ok when it ran, also when the run mode stops it after the debug images
// (nothing measured then); not ok after printing why the aux image could not
// be rectified or the key points could not be measured. The numerics may
// throw; the caller reports that.
zorvel_verification_result depth_verification(const zorvel_capture_pair& capture,
                                              const zorvel_verification_input& input);

}  // namespace zorvel
