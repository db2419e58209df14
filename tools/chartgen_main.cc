// zorvel-chartgen: renders the captures of a simulated dual-camera module with
// its configurations and ground truth, ready for `zorvel DIR/calibration.cfg`.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "sim/bundle.h"
#include "sim/presets.h"

namespace {

void usage() {
  std::fprintf(stderr,
               "usage: zorvel-chartgen --preset NAME --out DIR [--noise-key N] [--main-width W]\n"
               "                       [--tilt-deg A] [--module-variant N]\n"
               "  presets:");
  for (const auto& n : zorvel::sim::preset_names()) std::fprintf(stderr, " %s", n.c_str());
  std::fprintf(stderr,
               "\n  --main-width W  render smaller captures (W pixels wide) of the same scene\n"
               "  --tilt-deg A    extra aux pitch between calibration and verification\n"
               "  --module-variant N  random module: aux angles within 2 degrees, baseline 15-25 mm\n");
}

// The library lower-cases configuration values and strips white space, so
// the paths it reads back must already be in that form.
bool path_survives_normalisation(const std::string& p) {
  for (unsigned char ch : p)
    if ((ch >= 'A' && ch <= 'Z') || ch == ' ' || (ch >= '\t' && ch <= '\r')) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string preset, out;
  unsigned long long noise_key = 1;
  long main_width = 0;
  double tilt = 0.0;
  bool tilt_given = false;
  long long variant = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--preset" && has_value) preset = argv[++i];
    else if (a == "--out" && has_value) out = argv[++i];
    else if (a == "--noise-key" && has_value) noise_key = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--main-width" && has_value) main_width = std::strtol(argv[++i], nullptr, 10);
    else if (a == "--module-variant" && has_value) variant = std::strtoll(argv[++i], nullptr, 10);
    else if (a == "--tilt-deg" && has_value) {
      tilt = std::strtod(argv[++i], nullptr);
      tilt_given = true;
    } else {
      usage();
      return 2;
    }
  }
  zorvel::sim::scenario s;
  if (preset.empty() || out.empty() || !zorvel::sim::make_scenario(preset, &s)) {
    usage();
    return 2;
  }
  if (variant >= 0) s = zorvel::sim::random_module(s, static_cast<uint64_t>(variant));
  if (tilt_given) s.verify_extra_pitch_deg = tilt;
  if (main_width > 0) {
    if (main_width < 640) {
      std::fprintf(stderr, "zorvel-chartgen: --main-width must be at least 640\n");
      return 2;
    }
    s = zorvel::sim::with_main_width(s, static_cast<int32_t>(main_width));
  }
  const std::string abs = std::filesystem::absolute(out).lexically_normal().string();
  if (!path_survives_normalisation(abs)) {
    std::fprintf(stderr,
                 "zorvel-chartgen: %s holds capitals or white space, which the library's "
                 "configuration reader would change; choose another directory\n",
                 abs.c_str());
    return 2;
  }
  const std::string err = zorvel::sim::write_bundle(s, noise_key, abs);
  if (!err.empty()) {
    std::fprintf(stderr, "zorvel-chartgen: %s\n", err.c_str());
    return 1;
  }
  std::printf("%s: preset %s, noise key %llu\n", abs.c_str(), s.name.c_str(), noise_key);
  return 0;
}
