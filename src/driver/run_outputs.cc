#include "driver/run_outputs.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "driver/run_json.h"
#include "driver/run_report.h"
#include "otp/file_replace.h"

namespace zorvel {
namespace {

void note(zorvel_run_result& r, const std::string& line) {
  r.notes.push_back(line);
  std::fprintf(stderr, "zorvel: %s\n", line.c_str());
  std::fflush(stderr);
}

bool names_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Written whole through a temporary file and a rename, as the records are.
void write_json(zorvel_run_result& r, const zorvel_run_options& options) {
  const std::string text = run_result_json(r, options.key_point_lists);
  if (r.json_path == "-" && options.json_path == "-") {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return;
  }
  if (names_directory(r.json_path)) {
    note(r, "result not written: " + r.json_path + " is a directory");
    return;
  }
  const replace_status s = replace_file(
      r.json_path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (s != replace_status::ok) {
    note(r, "result not written: cannot " +
                std::string(s == replace_status::cannot_create ? "create " : "write ") +
                r.json_path);
  }
}

}  // namespace

void write_run_outputs(zorvel_run_result& r, const zorvel_run_options& options) {
  try {
    if (!r.report_dir.empty()) {
      std::string why;
      if (!write_run_report(r, r.report_dir, why)) {
        note(r, "report not written to " + r.report_dir + ": " + why);
      }
    }
    if (!r.json_path.empty()) write_json(r, options);
  } catch (...) {
    note(r, "result not written: internal error");
  }
}

}  // namespace zorvel
