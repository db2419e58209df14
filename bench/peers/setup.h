// The working form and calibration setup of a rendered module, built from its
// configuration file exactly as the calibration run builds them, so the
// stages measured here see the values the runs use.
#pragma once

#include <string>

#include "bench/quiet_stdout.h"
#include "calib/calibration_model.h"
#include "config/calib_config.h"
#include "config/config_reader.h"
#include "driver/calibration_setup.h"

namespace zorvel::bench {

// False when the configuration is refused or a check of the run fails.
inline bool calibration_setup_of(const std::string& config_path, zorvel_calibration_setup& setup) {
  quiet_stdout quiet;
  zorvel_config_reader reader(config_path);
  zorvel_calib_config config;
  zorvel_parse_result parsed;
  parse_calib_config(reader, config, parsed);
  return parsed.status == 1 && prepare_calibration_setup(config, 0, setup);
}

inline zorvel_calibration_setup calibration_setup_or_empty(const std::string& config_path) {
  zorvel_calibration_setup setup;
  if (!calibration_setup_of(config_path, setup)) setup = zorvel_calibration_setup{};
  return setup;
}

}  // namespace zorvel::bench
