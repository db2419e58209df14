// The verification run's checks and the two run records it builds: `pc_cfg`
// receives the stored calibration, `verify_ctx` the verification settings.
// Each check prints its message and returns false on the first failure.
#pragma once

#include "config/verif_config.h"
#include "driver/context.h"
#include "otp/otp_record.h"

namespace zorvel {

// Autofocus ratios at the verification distance (steps 4 to 6).
bool check_verification_focus(const zorvel_verif_config& config);

// Capture sizes, mirror/flip, position and orientation against the stored
// record, then the rotation flag (a swap without turned pixels is garbage).
bool check_against_otp(const zorvel_verif_config& config, const zorvel_otp_data& otp);

// Sizes, pixel pitches and stored focal lengths of pc_cfg (step 9).
void fill_stored_geometry(const zorvel_verif_config& config, const zorvel_otp_data& otp,
                          zorvel_calib_context& pc_cfg);

// Step 11: the parameter checks with the copies made between them, and the
// metric percentile.
bool check_verification_parameters(const zorvel_verif_config& config,
                                   zorvel_calib_context& pc_cfg,
                                   zorvel_calib_context& verify_ctx);

// Steps 12 to 15: thresholds and the stored calibration into pc_cfg;
// geometry coefficients cleared (with their notice) in run modes 3, 6 and 7.
void fill_stored_calibration(const zorvel_verif_config& config, const zorvel_otp_data& otp,
                             uint8_t mode, zorvel_calib_context& pc_cfg);

}  // namespace zorvel
