// First half of a verification: both flat-chart captures brought to the
// working size, lens distortion removed, the aux image rectified through the
// stored rotation and correction into the main camera's geometry and, on the
// normal path, warped again with the main lens so it matches the main
// capture. Writes the verification debug images when the run mode asks.
#pragma once

#include "detect/chart_pair.h"
#include "verify/verification_records.h"

namespace zorvel {

struct zorvel_unwarped_flat_chart {
  bool ok = false;  // false after printing that the aux image could not be rectified
  // Both captures at working size with the lens distortion removed (the main
  // camera's only on the alternative path).
  zorvel_chart_pair dewarped;
  // Aux planes: the aux image in the main camera's geometry. The main camera
  // has its working size but no planes.
  zorvel_chart_pair rectified;
  double main_focal_px = 0.0;  // effective at the flat chart's focus
  double aux_focal_px = 0.0;
};

// Mode 6 also re-reads two of the debug images and writes the "rot" copies.
zorvel_unwarped_flat_chart unwarp_for_verification(const zorvel_capture_pair& capture,
                                                   const zorvel_verification_input& input);

}  // namespace zorvel
