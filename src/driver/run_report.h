// The picture of a run, written into the report folder a caller or the
// configuration names: report.svg (driver/run_report_svg.h).
#pragma once

#include <string>

#include "driver/run_result.h"

namespace zorvel {

// False with why set when the folder cannot take the report (missing, not a
// folder, or the picture could not be written). Never throws.
bool write_run_report(const zorvel_run_result& r, const std::string& dir, std::string& why);

}  // namespace zorvel
