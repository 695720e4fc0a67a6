// The fast form of the block's correlations, bit for bit equal to calc_cor.
// A site's mean, deviations and root of its sum of squared deviations do not
// depend on the site it is correlated with, so they are computed once per
// site; what remains per pair is the sum of products of deviations, in
// sample order. The rows of a block are kept in groups of eight so that one
// SIMD lane carries one row: every row keeps its own summation order.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/workers.h"

namespace cpg {

struct site_stats {
  std::vector<double> dev;  // value - mean, per sample
  double root = 0.0;        // square root of the sum of squared deviations
};

void compute_site_stats(const double* values, std::int32_t n, site_stats& st);
// Equals calc_cor(x values, y values, n).
double pair_cor(const site_stats& x, const site_stats& y, std::int32_t n);

inline constexpr std::int32_t row_lanes = 8;

enum class cor_kernel { scalar, avx2, avx512 };

// The best kernel this CPU runs; every kernel gives the same bits.
cor_kernel best_cor_kernel();
bool cor_kernel_supported(cor_kernel k);
const char* cor_kernel_name(cor_kernel k);

struct dev_rows {
  std::int32_t n = 0;        // samples
  std::vector<double> dev;   // group g at g*n*8: sample i, lane l at i*8 + l
  std::vector<double> root;  // per row
  std::vector<double> sxy;   // per row, scratch of the last mean
  cor_kernel kernel = cor_kernel::scalar;
};

void reset_dev_rows(dev_rows& rows, std::int32_t n, cor_kernel kernel);
void set_dev_row(dev_rows& rows, std::int32_t r, const site_stats& st);

// Mean of the correlations of the candidate with rows 0 .. count-1, added
// in row order; equal to calc_mean_cor's result. Long blocks share their
// rows among the workers when a pool is given.
double fast_mean_cor(dev_rows& rows, const site_stats& candidate, std::int32_t count, workers* pool);

// Sums of products of deviations of `groups` row groups with dy, into out[g*8 + l].
using dot_groups_fn = void (*)(const double* dev, const double* dy, std::int32_t n, std::int32_t groups,
                               double* out);
dot_groups_fn dot_groups_for(cor_kernel k);

}  // namespace cpg
