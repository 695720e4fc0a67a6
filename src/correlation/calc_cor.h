// Pearson correlation of two sites across the samples, in its defining form.
// Every faster path of the program is tested against this one.
#pragma once
#include <cstdint>

namespace cpg {

// Sums in ascending sample order, x before y; the deviations' accumulators
// in the order Sxy, Sxx, Syy; 0 when the root of either sum of squared
// deviations is below sd_threshold (strictly). Not clamped to [-1, 1].
double calc_cor(const double* x, const double* y, std::int32_t n);

// The zero-spread rule and the quotient, shared with the fast path.
double cor_from_sums(double sxy, double rx, double ry);

}  // namespace cpg
