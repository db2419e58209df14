// The calibrated relation of the aux camera to the main camera, as both runs
// use it. Focal lengths in pixels of the 1280-pixel working image; positions
// (row, column) relative to the image centre.
#pragma once

namespace zorvel {

struct zorvel_stereo_model {
  double rot[9] = {};               // row-major; its inverse maps aux rays into the main camera
  float main_focal_px = 0.0f;       // at the L chart's focus
  float aux_focal_px = 0.0f;        // at the L chart's focus
  float projection_offset_x = 0.0f; // columns added after projection
  float projection_offset_y = 0.0f; // rows added after projection
  // Residual correction: column cubic in 0..8, row cubic in 9..17, the rest
  // unused. A calibration fits it on points; a verification reads the image
  // form of it back from the record.
  float geo[32] = {};
};

}  // namespace zorvel
