// The values of the block being grown, one row per selected site, and the
// mean correlation of a candidate site with the block's rows, in the
// defining form (a full calc_cor per row). Rows are held for sample_count
// columns only and grow past max_block_size when a block needs more.
#pragma once
#include <cstdint>
#include <vector>

#include "text/console.h"

namespace cpg {

struct block_matrix {
  std::int32_t cols = 0;
  std::vector<double> values;  // row r at r * cols
};

// rows x cols zeros, reserved rather than touched: a row's memory is used
// when the pass first writes it.
void shape_matrix(block_matrix& m, std::int32_t rows, std::int32_t cols);
// Row r, made to exist.
double* matrix_row(block_matrix& m, std::int32_t r);

// The mean_cor line: "mean_cor:", count, " ", mean; then standard output is flushed.
void print_mean_cor(console& out, std::int32_t count, double mean);

// Mean of calc_cor(row i, candidate) over rows 0 .. count-1, summed in row
// order; prints its mean_cor line.
double calc_mean_cor(const block_matrix& m, const double* candidate, std::int32_t count, std::int32_t n,
                     console& out);

}  // namespace cpg
