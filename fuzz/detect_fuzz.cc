// Detectors and pairing on arbitrary small images: the first two bytes give
// the size (16 to 160 pixels a side, so hundreds of inputs run a second),
// the third the chart and the mono flag, the rest fills the red, green and
// blue planes in turn (repeated as needed). A corpus file made from a
// capture holds its three planes one after another.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "detect/keypoints.h"

namespace {

constexpr int32_t kMinSide = 16;
constexpr int32_t kSideRange = 145;  // 16..160

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int32_t height = kMinSide + data[0] % kSideRange;
  const int32_t width = kMinSide + data[1] % kSideRange;
  const bool l_chart = (data[2] & 1) != 0;
  const int32_t mono = (data[2] >> 1) & 1;
  const size_t n = static_cast<size_t>(height) * static_cast<size_t>(width);
  std::vector<uint8_t> planes[3];
  size_t k = 0;
  for (auto& p : planes) {
    p.resize(n);
    for (auto& v : p) v = data[3 + (k++ % (size - 3))];
  }
  zorvel::zorvel_key_points set(zorvel::kKeyPointCapacity);
  const int result =
      l_chart ? zorvel::detect_l_chart_keypoints(planes[0].data(), planes[1].data(),
                                                 planes[2].data(), height, width, set, mono)
              : zorvel::detect_flat_chart_keypoints(planes[0].data(), planes[1].data(),
                                                    planes[2].data(), height, width, set, mono);
  if (result >= 0) {
    zorvel::zorvel_key_points other = set;
    zorvel::match_keypoints_by_label(set, other, result + 1, result + 1);
  }
  return 0;
}
