// Detectors and pairing on arbitrary small images: the first four bytes give
// the size and options, the rest fills the planes (repeated as needed).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "detect/keypoints.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int32_t height = 1 + data[0] % 128 * 4;  // up to 509 rows
  const int32_t width = 1 + data[1] % 128 * 4;
  const bool l_chart = (data[2] & 1) != 0;
  const int32_t mono = (data[2] >> 1) & 1;
  const size_t n = static_cast<size_t>(height) * width;
  std::vector<uint8_t> planes[3];
  size_t k = 3;
  for (auto& p : planes) {
    p.resize(n);
    for (auto& v : p) v = data[3 + (k++ % (size - 3))];
  }
  zorvel::zorvel_key_points set(zorvel::kKeyPointCapacity);
  std::FILE* sink = std::freopen("/dev/null", "w", stdout);
  (void)sink;
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
