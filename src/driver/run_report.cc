#include "driver/run_report.h"

#include <filesystem>
#include <system_error>

#include "driver/run_report_svg.h"

namespace zorvel {

bool write_run_report(const zorvel_run_result& r, const std::string& dir, std::string& why) {
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(dir, ec);
  if (!std::filesystem::exists(st)) {
    why = "no such folder";
    return false;
  }
  if (!std::filesystem::is_directory(st)) {
    why = "not a folder";
    return false;
  }
  // An unwritable folder is found by the write itself, which says so.
  return write_run_report_svg(r, dir, why);
}

}  // namespace zorvel
