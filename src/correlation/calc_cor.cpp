#include "correlation/calc_cor.h"

#include <cmath>

#include "tables/tables.h"

namespace cpg {

double cor_from_sums(double sxy, double rx, double ry) {
  if (rx < sd_threshold) return 0.0;
  if (ry < sd_threshold) return 0.0;
  return sxy / (rx * ry);
}

double calc_cor(const double* x, const double* y, std::int32_t n) {
  double sx = 0.0;
  for (std::int32_t i = 0; i < n; ++i) sx = sx + x[i];
  double mx = sx / n;
  double sy = 0.0;
  for (std::int32_t i = 0; i < n; ++i) sy = sy + y[i];
  double my = sy / n;
  double sxy = 0.0, sxx = 0.0, syy = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    double dx = x[i] - mx;
    double dy = y[i] - my;
    sxy = sxy + dx * dy;
    sxx = sxx + dx * dx;
    syy = syy + dy * dy;
  }
  return cor_from_sums(sxy, std::sqrt(sxx), std::sqrt(syy));
}

}  // namespace cpg
