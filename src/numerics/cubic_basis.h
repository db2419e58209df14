// The cubic of the geometric correction in two normalised coordinates alpha
// and beta: coefficients of 1, a, a^2, a b, b^2, a^3, a^2 b, a b^2, b^3.
#pragma once

#include <array>

namespace zorvel {

// The monomials as the fits build their design rows. a b^2 is (a b) b here
// but b^2 a in evaluate_cubic: the two roundings can differ in the last bit
// and both the stored records and the rectified images depend on each, so
// both orders stay.
inline std::array<double, 9> cubic_monomials(double a, double b) {
  return {1.0, a, a * a, a * b, b * b, a * a * a, a * a * b, a * b * b, b * b * b};
}

// sum of c[j] times the j-th monomial, from 0 in index order, as a stored
// correction is applied to points and to images.
inline double evaluate_cubic(const double c[9], double a, double b) {
  double acc = 0.0;
  acc += c[0] * 1.0;
  acc += c[1] * a;
  acc += c[2] * (a * a);
  acc += c[3] * (b * a);
  acc += c[4] * (b * b);
  acc += c[5] * (a * a * a);
  acc += c[6] * (a * a * b);
  acc += c[7] * (b * b * a);
  acc += c[8] * (b * b * b);
  return acc;
}

}  // namespace zorvel
