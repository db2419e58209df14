// Capture loading for the calibration and verification runs.
#include "driver/capture_loading.h"

#include <cstdio>

#include "detect/preprocess.h"

namespace zorvel {
namespace {

constexpr const char* kParseFailed = "\nError: Failed to parse %s %s\n";
constexpr const char* kNoPlanes = "\nError: Failed to get R,G,B data from BMP file %s\n";
constexpr const char* kSizeMismatch =
    "\nError: BMP file %s image dimensions (%ux%u) differs from configured dimensions "
    "(%ux%u)\n\n";

// A direction that is neither left nor right: the turn refuses it with its
// own message and the capture is handed out whole, as decoded.
bool load_unturned(zorvel_bmp_read& reader, const char* label, const std::string& shown_path,
                   const char* direction, capture_planes& planes) {
  if (reader.parse() != 1) {
    std::printf(kParseFailed, label, shown_path.c_str());
    return false;
  }
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (reader.rotate(direction) != 1 || reader.get_planes(&r, &g, &b) != 1 || !r || !g || !b) {
    std::printf(kNoPlanes, shown_path.c_str());
    return false;
  }
  planes = {r, g, b, false};
  return true;
}

}  // namespace

bool load_capture(zorvel_bmp_read& reader, const char* label, const std::string& shown_path,
                  bool swap, const char* direction, std::vector<uint8_t>& scratch,
                  capture_planes& planes) {
  const quarter_turn turn = swap ? quarter_turn_of(direction) : quarter_turn::none;
  if (swap && turn == quarter_turn::none) return load_unturned(reader, label, shown_path, direction, planes);
  const int parsed = reader.parse_sampled(
      turn,
      [swap](uint32_t width, uint32_t height) {
        return working_sample_grid(static_cast<int32_t>(width), static_cast<int32_t>(height), swap);
      },
      scratch);
  if (parsed != 1) {
    std::printf(kParseFailed, label, shown_path.c_str());
    return false;
  }
  uint8_t *r = nullptr, *g = nullptr, *b = nullptr;
  if (reader.get_planes(&r, &g, &b) != 1 || !r || !g || !b) {
    std::printf(kNoPlanes, shown_path.c_str());
    return false;
  }
  planes = {r, g, b, true};
  return true;
}

bool check_capture_size(const zorvel_bmp_read& reader, const std::string& shown_path,
                        int32_t configured_width, int32_t configured_height) {
  uint32_t width = 0, height = 0;
  reader.get_size(&width, &height);
  if (static_cast<int64_t>(width) == configured_width &&
      static_cast<int64_t>(height) == configured_height) {
    return true;
  }
  std::printf(kSizeMismatch, shown_path.c_str(), width, height,
              static_cast<uint32_t>(configured_width), static_cast<uint32_t>(configured_height));
  return false;
}

}  // namespace zorvel
