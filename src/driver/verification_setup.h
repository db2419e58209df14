// The verification run's checks, and the verification input built from the
// configuration and the stored calibration once every check passed. Each
// check prints its message and returns false on the first failure.
#pragma once

#include <cstdint>

#include "config/verif_config.h"
#include "detect/chart_pair.h"
#include "otp/otp_record.h"
#include "verify/verification_records.h"

namespace zorvel {

// Autofocus ratios at the verification distance.
bool check_verification_focus(const zorvel_verif_config& config);

// Capture sizes, mirror/flip, position and orientation against the stored
// record, then the rotation flag (a swap without turned pixels is garbage).
bool check_against_otp(const zorvel_verif_config& config, const zorvel_otp_data& otp);

// Focal-length ratios, mirror/flip settings and mono flags of both cameras,
// then the metric percentile.
bool check_verification_parameters(const zorvel_verif_config& config);

// Sizes of the captures once turned (a rotated module's are transposed);
// no planes yet.
zorvel_capture_pair oriented_capture_size(const zorvel_verif_config& config);

// The stored calibration with the verification's settings. Run mode 6
// announces a unity rotation but keeps the stored one; modes 3, 6 and 7 clear
// the geometry correction, each with its notice.
zorvel_verification_input verification_input_of(const zorvel_verif_config& config,
                                                const zorvel_otp_data& otp, uint8_t mode);

}  // namespace zorvel
