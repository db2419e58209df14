// The calibration run up to the captures: the autofocus ratio checks, the
// range checks, and the calibration's setup (focal lengths in working pixels,
// fields of view, charts, lens models) from the configuration.
#pragma once

#include "config/calib_config.h"
#include "calib/calibration_model.h"

namespace zorvel {

// Returns false after printing the first failed check. mode 4 asks for the
// debug files.
bool prepare_calibration_setup(const zorvel_calib_config& config, uint8_t mode,
                               zorvel_calibration_setup& setup);

// The side of the working image that is not the normalised 1280 pixels, for a capture of
// width x height as configured (before any turn): trunc(height x 1280 /
// width); -1 when a size is not positive.
int64_t working_other_side(int32_t width, int32_t height);

// Two times degrees per radian in single precision (bit pattern 0x42E52EE0).
inline constexpr float kTwoDegreesPerRadian = 114.59155f;

}  // namespace zorvel
