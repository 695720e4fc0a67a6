#include "correlation/block_matrix.h"

#include <cstring>

#include "correlation/calc_cor.h"

namespace cpg {

void shape_matrix(block_matrix& m, std::int32_t rows, std::int32_t cols) {
  m.cols = cols;
  m.values.clear();
  m.values.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
}

double* matrix_row(block_matrix& m, std::int32_t r) {
  std::size_t need = (static_cast<std::size_t>(r) + 1) * static_cast<std::size_t>(m.cols);
  if (m.values.size() < need) m.values.resize(need, 0.0);
  return m.values.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(m.cols);
}

void print_mean_cor(console& out, std::int32_t count, double mean) {
  say(out, "mean_cor:"), say_int(out, count), say(out, " "), say_general(out, mean), say(out, "\n");
  flush_console(out);
}

double calc_mean_cor(const block_matrix& m, const double* candidate, std::int32_t count, std::int32_t n,
                     console& out) {
  std::vector<double> scratch(static_cast<std::size_t>(n > 0 ? n : 0));
  double s = 0.0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (n > 0) std::memcpy(scratch.data(), m.values.data() + static_cast<std::size_t>(i) * m.cols, n * sizeof(double));
    double r = calc_cor(scratch.data(), candidate, n);
    s = s + r;
  }
  double mean = s / static_cast<double>(count);
  print_mean_cor(out, count, mean);
  return mean;
}

}  // namespace cpg
