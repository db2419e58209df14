#include "driver/run_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include "driver/run_report_svg.h"

namespace zorvel {

bool write_run_report(const zorvel_run_result& r, const std::string& dir, std::string& why) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) {
    why = "no such folder";
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    why = "not a folder";
    return false;
  }
  if (::access(dir.c_str(), W_OK) != 0) {
    why = "folder not writable";
    return false;
  }
  return write_run_report_svg(r, dir, why);
}

}  // namespace zorvel
