// The zorvel command: runs one calibration or verification through the
// shipped library exactly as a station would.
//   zorvel CONFIG [--mode N]
// Exit status 0 when the library returns 1, 1 when it returns 0, 2 on a
// usage error.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "record_command.h"
#include "zorvel/zorvel.h"
#include "zorvel_version.h"

namespace {

constexpr const char* kUsage =
    "Usage: zorvel CONFIG [--mode N]\n"
    "       zorvel record FILE [--json]   (zorvel record --help)\n"
    "       zorvel --help | --version\n"
    "\n"
    "Runs the calibration or verification described by the key=value\n"
    "configuration file CONFIG and prints the report on standard output.\n"
    "\n"
    "  --mode N   run mode 0..255 (default 0): 4 writes the calibration debug\n"
    "             files; in a verification any non-zero value writes debug\n"
    "             images (see the README for every value)\n"
    "  --help     show this text\n"
    "  --version  show the library version\n"
    "\n"
    "Exit status: 0 success, 1 failed run, 2 usage error.\n";

constexpr int kExitSuccess = 0;
constexpr int kExitFailedRun = 1;
constexpr int kExitUsage = 2;

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

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "record") == 0) return zorvel::tools::record_command(argc - 2, argv + 2);
  const char* config_path = nullptr;
  uint8_t mode = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitSuccess;
    }
    if (arg == "--version") {
      std::printf("zorvel %s\n", zorvel::kVersionText);
      return kExitSuccess;
    }
    if (arg == "--mode" || arg.rfind("--mode=", 0) == 0) {
      const char* value = nullptr;
      if (arg == "--mode") {
        if (i + 1 >= argc) return usage_error("--mode needs a value");
        value = argv[++i];
      } else {
        value = argv[i] + std::strlen("--mode=");
      }
      if (!parse_mode(value, mode)) {
        return usage_error(std::string("invalid mode '") + value + "' (expected 0..255)");
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option " + arg);
    if (config_path) return usage_error("more than one configuration file given");
    config_path = argv[i];
  }
  if (!config_path) return usage_error("no configuration file given");
  const int32_t result = zorvel_calibrate(config_path, mode);
  std::fflush(stdout);
  return result == 1 ? kExitSuccess : kExitFailedRun;
}
