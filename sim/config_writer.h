// Texts of the configuration files and of truth.json for one scenario. Paths
// are written as given: the library opens them as written (capitals and inner
// blanks kept, only leading and trailing white space removed).
#pragma once

#include <cstdint>
#include <string>

#include "sim/presets.h"
#include "sim/truth.h"

namespace zorvel::sim {

// File names inside the output directory.
struct bundle_files {
  std::string dir;  // absolute, no trailing slash
  std::string main_l = "main_l.bmp", aux_l = "aux_l.bmp";
  std::string main_flat = "main_flat.bmp", aux_flat = "aux_flat.bmp";
  std::string main_verify = "main_verify.bmp", aux_verify = "aux_verify.bmp";
  std::string otp = "calibration.otp", interim = "calibration_interim.otp";

  std::string path(const std::string& name) const { return dir + "/" + name; }
};

// process: 0 L and flat charts, 1 L chart only, 2 flat chart only.
std::string calibration_config_text(const scenario& s, const bundle_files& f, int32_t process);
std::string verification_config_text(const scenario& s, const bundle_files& f);

struct truth_charts {
  std::vector<corner_truth> l_chart, flat_chart, verify_chart;
};
std::string truth_json_text(const scenario& s, uint64_t noise_key, const bundle_files& f,
                            const truth_charts& charts);

}  // namespace zorvel::sim
