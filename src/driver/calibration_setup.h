// The calibration run up to the captures: the run record filled from the
// configuration, the autofocus ratio checks, the range checks, and the focal
// lengths in working pixels with the fields of view.
#pragma once

#include "config/calib_config.h"
#include "driver/context.h"

namespace zorvel {

// Returns false after printing the first failed check; context is then
// partly filled and must not be used.
bool prepare_calibration_context(const zorvel_calib_config& config,
                                 zorvel_calib_context& context);

// The side of the working image that is not the normalised 1280 pixels, for a capture of
// width x height as configured (before any turn): trunc(height x 1280 /
// width); -1 when a size is not positive.
int64_t working_other_side(int32_t width, int32_t height);

// Two times degrees per radian in single precision (bit pattern 0x42E52EE0).
inline constexpr float kTwoDegreesPerRadian = 114.59155f;

}  // namespace zorvel
