// The zorvel command: runs one calibration or verification through the
// library's own entry exactly as a station would, and tells by its exit
// status what the run found.
//   zorvel CONFIG [--mode N] [--json FILE] [--key-points] [--report DIR]
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/entry.h"
#include "driver/run_collect.h"
#include "driver/run_result.h"
#include "record_command.h"
#include "report_png.h"
#include "zorvel_version.h"

namespace {

constexpr const char* kUsage =
    "Usage: zorvel CONFIG [--mode N] [--json FILE] [--key-points] [--report DIR]\n"
    "       zorvel record FILE [--json]   (zorvel record --help)\n"
    "       zorvel --help | --version\n"
    "\n"
    "Runs the calibration or verification described by the key=value\n"
    "configuration file CONFIG and prints the report on standard output.\n"
    "\n"
    "  --mode N      run mode 0..255 (default 0): 4 writes the calibration debug\n"
    "                files; in a verification any non-zero value writes debug\n"
    "                images (see the README for every value)\n"
    "  --json FILE   write the run's JSON result to FILE (replacing the\n"
    "                configuration's result_json_file); - writes it to standard\n"
    "                output after the report\n"
    "  --key-points  include every key point and pair disparity in the JSON\n"
    "  --report DIR  folder for a picture of the run (replacing the\n"
    "                configuration's result_report_dir)\n"
    "  --help        show this text\n"
    "  --version     show the library version\n"
    "\n"
    "Exit status:\n"
    "  0  the module passed\n"
    "  1  the module was measured and failed\n"
    "  2  usage error\n"
    "  3  the module could not be tested: configuration, capture or record\n"
    "     unreadable or unwritable, or an internal error\n"
    "  4  a diagnostic mode that measured nothing (verification modes 2, 6, 7)\n"
    "The last line on standard error says why, e.g.\n"
    "  zorvel: FAIL flat-chart residual vertical disparity 1.23 > 1.00; no record written\n";

constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotTested = 3;
constexpr int kExitDiagnostic = 4;

int usage_error(const std::string& why) {
  std::fprintf(stderr, "zorvel: %s\n", why.c_str());
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

// A decimal run mode 0..255, nothing else.
bool parse_mode(const char* text, uint8_t& mode) {
  if (*text == '\0') return false;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  errno = 0;
  const unsigned long value = std::strtoul(text, nullptr, 10);
  if (errno == ERANGE || value > 255) return false;
  mode = static_cast<uint8_t>(value);
  return true;
}

int exit_status(zorvel::zorvel_run_status status) {
  switch (status) {
    case zorvel::zorvel_run_status::passed: return kExitPassed;
    case zorvel::zorvel_run_status::failed: return kExitFailed;
    case zorvel::zorvel_run_status::diagnostic: return kExitDiagnostic;
    case zorvel::zorvel_run_status::not_tested: break;
  }
  return kExitNotTested;
}

// "--name VALUE" or "--name=VALUE"; null when arg is another option.
const char* option_value(const std::string& arg, const char* name, int& i, int argc, char** argv,
                         std::string& missing) {
  const std::string eq = std::string(name) + "=";
  if (arg.rfind(eq, 0) == 0) return argv[i] + eq.size();
  if (arg != name) return nullptr;
  if (i + 1 >= argc) {
    missing = std::string(name) + " needs a value";
    return nullptr;
  }
  return argv[++i];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "record") == 0) return zorvel::tools::record_command(argc - 2, argv + 2);
  const char* config_path = nullptr;
  uint8_t mode = 0;
  zorvel::zorvel_run_options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitPassed;
    }
    if (arg == "--version") {
      std::printf("zorvel %s\n", zorvel::kVersionText);
      return kExitPassed;
    }
    if (arg == "--key-points") {
      options.key_point_lists = true;
      continue;
    }
    std::string missing;
    if (const char* value = option_value(arg, "--mode", i, argc, argv, missing)) {
      if (!parse_mode(value, mode)) {
        return usage_error(std::string("invalid mode '") + value + "' (expected 0..255)");
      }
      continue;
    }
    if (const char* value = option_value(arg, "--json", i, argc, argv, missing)) {
      if (*value == '\0') return usage_error("--json needs a file name");
      options.json_path = value;
      continue;
    }
    if (const char* value = option_value(arg, "--report", i, argc, argv, missing)) {
      if (*value == '\0') return usage_error("--report needs a folder");
      options.report_dir = value;
      continue;
    }
    if (!missing.empty()) return usage_error(missing);
    if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option " + arg);
    if (config_path) return usage_error("more than one configuration file given");
    config_path = argv[i];
  }
  if (!config_path) return usage_error("no configuration file given");
  zorvel::zorvel_run_result result;
  zorvel::run(config_path, mode, options, &result);
  std::fflush(stdout);
  if (const std::string line = zorvel::tools::report_png_after(result); !line.empty()) {
    std::fprintf(stderr, "zorvel: %s\n", line.c_str());
  }
  std::fprintf(stderr, "zorvel: %s\n", zorvel::run_summary(result).c_str());
  return exit_status(result.status);
}
