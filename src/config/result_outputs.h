// The two keys both parsers accept for a run's optional outputs: a JSON result
// file and a folder for a picture of the run. Neither rejects a file, neither
// is echoed; both keep their text as written, as every path does.
#pragma once

#include <string>

#include "config/config_reader.h"

namespace zorvel {

inline constexpr const char* kResultJsonFileKey = "result_json_file";
inline constexpr const char* kResultReportDirKey = "result_report_dir";

inline void read_result_outputs(const zorvel_config_reader& reader, std::string& json_path,
                                std::string& report_dir) {
  json_path = reader.find(kResultJsonFileKey) ? reader.get_path(kResultJsonFileKey) : "";
  report_dir = reader.find(kResultReportDirKey) ? reader.get_path(kResultReportDirKey) : "";
}

}  // namespace zorvel
