// zorvel-chartgen: renders the captures of a simulated dual-camera module with
// its configurations and ground truth, ready for `zorvel DIR/calibration.cfg`.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "zorvel_version.h"
#include "sim/bundle.h"
#include "sim/presets.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: zorvel-chartgen --preset NAME --out DIR [--noise-key N] [--main-width W]\n"
               "                       [--tilt-deg A] [--module-variant N]\n"
               "       zorvel-chartgen --help | --version\n"
               "  presets:");
  for (const auto& n : zorvel::sim::preset_names()) std::fprintf(out, " %s", n.c_str());
  std::fprintf(out,
               "\n  --main-width W  render smaller captures (W pixels wide) of the same scene\n"
               "  --tilt-deg A    extra aux pitch between calibration and verification\n"
               "  --module-variant N  random module: aux angles within 2 degrees, baseline 15-25 mm\n"
               "  --help          show this text\n"
               "  --version       show the version of the library it renders for\n");
}

int usage_error() {
  usage(stderr);
  return kExitUsage;
}

// A refused value gets one line naming the option, the value and what it needs.
int bad_value(const std::string& option, const char* value, const char* expected) {
  std::fprintf(stderr, "zorvel-chartgen: %s needs %s, got '%s'\n", option.c_str(), expected, value);
  return kExitUsage;
}

// The whole text must be a decimal count: no sign, no trailing text, in range.
bool parse_count(const char* text, unsigned long long& out) {
  if (*text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtoull(text, &end, 10);
  return *end == '\0' && errno != ERANGE;
}

bool parse_finite(const char* text, double& out) {
  if (*text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtod(text, &end);
  return *end == '\0' && errno != ERANGE && std::isfinite(out);
}

int unknown_preset(const std::string& name) {
  std::fprintf(stderr, "zorvel-chartgen: unknown preset '%s'; known presets:", name.c_str());
  for (const auto& n : zorvel::sim::preset_names()) std::fprintf(stderr, " %s", n.c_str());
  std::fprintf(stderr, "\n");
  return kExitUsage;
}

void print_version() { std::printf("zorvel-chartgen %s\n", zorvel::kVersionText); }

}  // namespace

int main(int argc, char** argv) {
  std::string preset, out;
  unsigned long long noise_key = 1;
  unsigned long long main_width = 0;
  double tilt = 0.0;
  bool tilt_given = false;
  unsigned long long variant = 0;
  bool variant_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return kExitSuccess;
    }
    if (a == "--version") {
      print_version();
      return kExitSuccess;
    }
    if (i + 1 >= argc) return usage_error();
    const char* value = argv[++i];
    if (a == "--preset") preset = value;
    else if (a == "--out") out = value;
    else if (a == "--noise-key") {
      if (!parse_count(value, noise_key)) return bad_value(a, value, "a whole number");
    } else if (a == "--main-width") {
      if (!parse_count(value, main_width)) return bad_value(a, value, "a whole number of pixels");
    } else if (a == "--module-variant") {
      if (!parse_count(value, variant)) return bad_value(a, value, "a whole number");
      variant_given = true;
    } else if (a == "--tilt-deg") {
      if (!parse_finite(value, tilt)) return bad_value(a, value, "an angle in degrees");
      tilt_given = true;
    } else {
      return usage_error();
    }
  }
  zorvel::sim::scenario s;
  if (!preset.empty() && !zorvel::sim::make_scenario(preset, &s)) return unknown_preset(preset);
  if (preset.empty() || out.empty()) return usage_error();
  if (variant_given) s = zorvel::sim::random_module(s, static_cast<uint64_t>(variant));
  if (tilt_given) s.verify_extra_pitch_deg = tilt;
  if (main_width > 0) {
    if (main_width < 640) {
      std::fprintf(stderr, "zorvel-chartgen: --main-width must be at least 640\n");
      return kExitUsage;
    }
    // The library accepts capture sizes up to 65535 pixels.
    if (main_width > 65535) {
      std::fprintf(stderr, "zorvel-chartgen: --main-width must be at most 65535\n");
      return kExitUsage;
    }
    s = zorvel::sim::with_main_width(s, static_cast<int32_t>(main_width));
  }
  const std::string abs = std::filesystem::absolute(out).lexically_normal().string();
  const std::string err = zorvel::sim::write_bundle(s, noise_key, abs);
  if (!err.empty()) {
    std::fprintf(stderr, "zorvel-chartgen: %s\n", err.c_str());
    return kExitFailed;
  }
  std::printf("%s: preset %s, noise key %llu\n", abs.c_str(), s.name.c_str(), noise_key);
  return kExitSuccess;
}
