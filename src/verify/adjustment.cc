// Adjustment lookups and the RMS of integer differences.
#include "verify/adjustment.h"

#include <cmath>
#include <limits>

namespace zorvel {
namespace {

struct anchor_row {
  double ratio;
  double first[3];
  double second[3];
};

constexpr anchor_row kAnchors[3] = {
    {1.002, {0.1743, -0.284, 0.14}, {-0.1701, 0.2786, -0.138}},
    {1.0071, {0.1757, -0.3021, 0.151}, {-0.1714, 0.2956, -0.1483}},
    {1.0107, {0.1746, -0.307, 0.1542}, {-0.1704, 0.3002, -0.1512}},
};

double lerp(double v0, double v1, double r, double r0, double r1) {
  return v0 + (v1 - v0) * (r - r0) / (r1 - r0);
}

}  // namespace

void ratio_adjust_coefficients(double ratio, double first[3], double second[3]) {
  const anchor_row* lo = nullptr;
  const anchor_row* hi = nullptr;
  if (ratio <= kAnchors[0].ratio) {
    lo = hi = &kAnchors[0];
  } else if (ratio >= kAnchors[2].ratio) {
    lo = hi = &kAnchors[2];
  } else if (ratio <= kAnchors[1].ratio) {  // the middle anchor closes the lower segment
    lo = &kAnchors[0];
    hi = &kAnchors[1];
  } else {
    lo = &kAnchors[1];
    hi = &kAnchors[2];
  }
  for (int32_t i = 0; i < 3; ++i) {
    if (lo == hi) {
      first[i] = lo->first[i];
      second[i] = lo->second[i];
    } else {
      first[i] = lerp(lo->first[i], hi->first[i], ratio, lo->ratio, hi->ratio);
      second[i] = lerp(lo->second[i], hi->second[i], ratio, lo->ratio, hi->ratio);
    }
  }
}

float interpolate_adjustment(float ratio, const float xs[5], const float ys[5]) {
  if (ratio <= xs[0]) return ys[0];
  if (ratio >= xs[4]) return ys[4];
  for (int32_t k = 0; k < 4; ++k) {
    if (xs[k] < ratio && ratio <= xs[k + 1]) {
      const float dx = xs[k + 1] - xs[k];
      if (dx == 0.0f) return 1.0f;
      const float dy = ys[k + 1] - ys[k];
      const float dr = ratio - xs[k];
      const float result = static_cast<float>(static_cast<double>(ys[k]) +
                                              static_cast<double>(dy) * static_cast<double>(dr) /
                                                  static_cast<double>(dx));
      return result < 0.0f ? 1.0f : result;
    }
  }
  return 1.0f;  // breakpoints out of order (or NaN): no segment holds the ratio
}

double rms_of_differences(const int32_t* a, const int32_t* b, int32_t n) {
  if (n < 1) return std::numeric_limits<double>::quiet_NaN();
  double sum = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const double d = static_cast<double>(b[i]) - static_cast<double>(a[i]);
    sum += d * d;
  }
  return std::sqrt(sum / static_cast<double>(n));
}

}  // namespace zorvel
