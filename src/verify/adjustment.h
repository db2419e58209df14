// Small numeric routines that verification uses: the lens adjustment triples
// and factor interpolated from a focal-length ratio, and an RMS difference.
#pragma once

#include <cstdint>

namespace zorvel {

// Two coefficient triples interpolated linearly in r between the anchors
// 1.002, 1.0071 and 1.0107 (held constant outside them).
void ratio_adjust_coefficients(double ratio, double first[3], double second[3]);

// Piecewise-linear lookup over five ascending breakpoints; a zero-width
// segment or a negative result gives 1.0.
float interpolate_adjustment(float ratio, const float xs[5], const float ys[5]);

// sqrt(sum (b_i - a_i)^2 / n) in double; NaN when n < 1.
double rms_of_differences(const int32_t* a, const int32_t* b, int32_t n);

}  // namespace zorvel
