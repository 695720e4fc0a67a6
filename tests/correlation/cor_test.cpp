// calc_cor's own cases, and the fast form of the block's correlations held to
// calc_cor / calc_mean_cor bit for bit on every kernel and thread layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "correlation/block_matrix.h"
#include "correlation/calc_cor.h"
#include "correlation/fast_cor.h"
#include "platform/workers.h"
#include "tables/tables.h"
#include "text/console.h"

namespace cpg {
namespace {

constexpr double nan_v = std::numeric_limits<double>::quiet_NaN();
constexpr double inf_v = std::numeric_limits<double>::infinity();

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The same double to the last bit, NaN for NaN. A NaN's sign is left to the
// compiler, which may swap the operands of + and *, and never reaches an
// output: the general form prints every NaN as "nan", and every comparison
// of the pass is false for either sign.
bool same(double a, double b) { return bits(a) == bits(b) || (std::isnan(a) && std::isnan(b)); }

double cor(const std::vector<double>& x, const std::vector<double>& y) {
  return calc_cor(x.data(), y.data(), static_cast<std::int32_t>(x.size()));
}

double ulps_apart(double a, double b) {
  return std::fabs(a - b) / (std::nextafter(std::fabs(b), inf_v) - std::fabs(b));
}

TEST(CalcCor, DocumentedCases) {
  struct exact_case {
    const char* name;
    std::vector<double> x, y;
    double want;
  };
  const exact_case exact[] = {
      {"one sample", {3.5}, {7.0}, 0.0},
      {"constant x", {0.5, 0.5, 0.5}, {1, 2, 3}, 0.0},
      {"constant y", {1, 2, 3}, {0.5, 0.5, 0.5}, 0.0},
      {"0011 with itself", {0, 0, 1, 1}, {0, 0, 1, 1}, 1.0},
      {"0011 vs 1100", {0, 0, 1, 1}, {1, 1, 0, 0}, -1.0},
      {"0101 vs 0011", {0, 1, 0, 1}, {0, 0, 1, 1}, 0.0},
      {"NaN in x, constant y", {1, nan_v, 3}, {0.5, 0.5, 0.5}, 0.0},
      {"constant x, inf in y", {0.5, 0.5, 0.5}, {1, inf_v, 3}, 0.0},
  };
  for (const auto& c : exact) EXPECT_EQ(bits(cor(c.x, c.y)), bits(c.want)) << c.name << " gave " << cor(c.x, c.y);

  struct near_case {
    const char* name;
    std::vector<double> x, y;
    double want;
    double max_ulps;
  };
  const near_case near[] = {
      {"1,2,3 vs 2,4,6", {1, 2, 3}, {2, 4, 6}, 1.0, 1},
      {"1,2,3 vs 3,2,1", {1, 2, 3}, {3, 2, 1}, -1.0, 1},
      // Sxy = 4 over sqrt(5) * sqrt(5) = 5.000000000000001: two ulps below 0.8.
      {"1,2,3,4 vs 1,3,2,4", {1, 2, 3, 4}, {1, 3, 2, 4}, 0.8, 2},
  };
  for (const auto& c : near) EXPECT_LE(ulps_apart(cor(c.x, c.y), c.want), c.max_ulps) << c.name;

  EXPECT_EQ(bits(cor({1, 2, 3, 4}, {1, 3, 2, 4})), bits(4.0 / (std::sqrt(5.0) * std::sqrt(5.0))));
  EXPECT_TRUE(std::isnan(cor({1, nan_v, 3}, {1, 2, 3})));
  // n = 0 and negative n read nothing.
  const double x[] = {1, 2, 3}, y[] = {3, 1, 2};
  EXPECT_EQ(bits(calc_cor(x, y, 0)), bits(0.0));
  EXPECT_EQ(bits(calc_cor(x, y, -3)), bits(0.0));
}

// x = {v, -v} has mean 0 and root sqrt(2 v^2). Walking v up one double at a
// time, the first root not below the threshold is the threshold itself; the
// v before it is the largest whose root is below.
double spread_with_root(bool below) {
  double v = sd_threshold / std::sqrt(2.0);
  for (int i = 0; i < 64; ++i) v = std::nextafter(v, 0.0);
  for (int i = 0; i < 128; ++i) {
    double next = std::nextafter(v, 1.0);
    if (std::sqrt(next * next + next * next) >= sd_threshold) {
      if (std::sqrt(next * next + next * next) != sd_threshold) return 0.0;
      return below ? v : next;
    }
    v = next;
  }
  return 0.0;
}

TEST(CalcCor, ZeroSpreadThresholdIsStrict) {
  const double at = spread_with_root(false), below = spread_with_root(true);
  ASSERT_NE(at, 0.0);
  ASSERT_NE(below, 0.0);
  const std::vector<double> y{1.0, -1.0};
  // Root exactly at the threshold: the quotient is computed (about 1).
  EXPECT_NEAR(cor({at, -at}, y), 1.0, 1e-12);
  EXPECT_NEAR(cor(y, {at, -at}), 1.0, 1e-12);
  EXPECT_EQ(bits(cor({below, -below}, y)), bits(0.0));
  EXPECT_EQ(bits(cor(y, {below, -below})), bits(0.0));
}

// ---------------------------------------------------------------------------
// The fast path.

enum class row_kind { random, constant, with_nan, with_inf, near_zero_spread, zero_one, huge };

std::vector<double> make_row(std::mt19937_64& rng, std::int32_t n, row_kind kind) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> row(static_cast<std::size_t>(n));
  for (auto& v : row) v = u(rng);
  if (n == 0) return row;
  std::uniform_int_distribution<std::int32_t> pick(0, n - 1);
  switch (kind) {
    case row_kind::random: break;
    case row_kind::constant:
      for (auto& v : row) v = 0.375;
      break;
    case row_kind::with_nan: row[static_cast<std::size_t>(pick(rng))] = nan_v; break;
    case row_kind::with_inf: row[static_cast<std::size_t>(pick(rng))] = (rng() & 1) ? inf_v : -inf_v; break;
    case row_kind::near_zero_spread: {
      // Scale so that the root lands within a few ulps of the threshold,
      // on either side.
      site_stats st;
      compute_site_stats(row.data(), n, st);
      if (st.root > 0) {
        double f = sd_threshold / st.root;
        for (auto& v : row) v = v * f;
        std::int64_t steps = static_cast<std::int64_t>(rng() % 9) - 4;
        for (auto& v : row)
          for (std::int64_t s = 0; s < std::llabs(steps); ++s) v = std::nextafter(v, steps > 0 ? 1.0 : 0.0);
      }
      break;
    }
    case row_kind::zero_one:
      for (auto& v : row) v = static_cast<double>(rng() & 1);
      break;
    case row_kind::huge:
      for (auto& v : row) v = v * 1e300;
      break;
  }
  return row;
}

row_kind random_kind(std::mt19937_64& rng) {
  // Mostly ordinary rows, so that the means are not all NaN.
  static const row_kind kinds[] = {row_kind::random,   row_kind::random,           row_kind::random,
                                   row_kind::random,   row_kind::constant,         row_kind::with_nan,
                                   row_kind::with_inf, row_kind::near_zero_spread, row_kind::near_zero_spread,
                                   row_kind::zero_one, row_kind::huge};
  return kinds[rng() % (sizeof kinds / sizeof kinds[0])];
}

std::vector<cor_kernel> supported_kernels() {
  std::vector<cor_kernel> ks;
  for (cor_kernel k : {cor_kernel::scalar, cor_kernel::avx2, cor_kernel::avx512})
    if (cor_kernel_supported(k)) ks.push_back(k);
  return ks;
}

struct pools {
  workers two, three;
  pools() {
    start_workers(two, 2);
    start_workers(three, 3);
  }
  ~pools() {
    stop_workers(two);
    stop_workers(three);
  }
  std::vector<workers*> all() { return {nullptr, &two, &three}; }
};

// Fills a block row by row as the pass does and, after every row, holds
// fast_mean_cor for a fresh candidate to calc_mean_cor, and pair_cor to
// calc_cor for every row.
void check_block(std::mt19937_64& rng, std::int32_t n, std::int32_t max_rows, cor_kernel kernel, workers* pool,
                 std::int32_t first_checked_count, const std::string& what) {
  block_matrix m;
  shape_matrix(m, max_block_size, n);
  dev_rows rows;
  reset_dev_rows(rows, n, kernel);
  std::vector<site_stats> stats(static_cast<std::size_t>(max_rows));
  console out;
  std::string printed;
  out.capture = &printed;
  int mismatches = 0;
  for (std::int32_t r = 0; r < max_rows && mismatches < 5; ++r) {
    std::vector<double> row = make_row(rng, n, random_kind(rng));
    if (n > 0) std::memcpy(matrix_row(m, r), row.data(), static_cast<std::size_t>(n) * sizeof(double));
    compute_site_stats(row.data(), n, stats[static_cast<std::size_t>(r)]);
    set_dev_row(rows, r, stats[static_cast<std::size_t>(r)]);
    const std::int32_t count = r + 1;
    if (count < 2 || count < first_checked_count) continue;

    std::vector<double> cand = make_row(rng, n, random_kind(rng));
    site_stats cs;
    compute_site_stats(cand.data(), n, cs);
    for (std::int32_t i = 0; i < count && mismatches < 5; ++i) {
      double want = calc_cor(m.values.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(n),
                             cand.data(), n);
      double got = pair_cor(stats[static_cast<std::size_t>(i)], cs, n);
      if (!same(got, want)) {
        ++mismatches;
        ADD_FAILURE() << what << " pair_cor row " << i << " count " << count << ": " << got << " vs " << want;
      }
    }
    double want = calc_mean_cor(m, cand.data(), count, n, out);
    double got = fast_mean_cor(rows, cs, count, pool);
    if (!same(got, want)) {
      ++mismatches;
      ADD_FAILURE() << what << " fast_mean_cor count " << count << ": " << got << " vs " << want;
    }
  }
}

TEST(FastCor, BitIdenticalToCalcCorOnEveryKernelAndPool) {
  pools p;
  std::mt19937_64 rng(20240611);
  for (cor_kernel k : supported_kernels())
    for (workers* pool : p.all())
      for (std::int32_t n : {0, 1, 2, 3, 7, 8, 9, 300}) {
        std::string what = std::string(cor_kernel_name(k)) + " threads " +
                           std::to_string(pool ? worker_count(*pool) : 1) + " n " + std::to_string(n);
        check_block(rng, n, 70, k, pool, 2, what);
      }
}

TEST(FastCor, LongBlockTakesTheParallelBranchWithTheSameBits) {
  // groups * n * 8 >= 2^18 from 874 rows of 300 samples on; the checks start
  // a little below and end off a group boundary.
  pools p;
  std::mt19937_64 rng(7);
  for (cor_kernel k : supported_kernels())
    for (workers* pool : p.all())
      check_block(rng, 300, 883, k, pool, 860,
                  std::string(cor_kernel_name(k)) + " threads " + std::to_string(pool ? worker_count(*pool) : 1));
}

TEST(FastCor, ZeroSpreadBoundaryInBothArguments) {
  const double at = spread_with_root(false), below = spread_with_root(true);
  ASSERT_NE(at, 0.0);
  ASSERT_NE(below, 0.0);
  const std::vector<std::vector<double>> sites{{at, -at}, {below, -below}, {1.0, -1.0}, {-3.0, 5.0}, {2.0, 2.0}};
  for (const auto& x : sites)
    for (const auto& y : sites) {
      site_stats sx, sy;
      compute_site_stats(x.data(), 2, sx);
      compute_site_stats(y.data(), 2, sy);
      EXPECT_TRUE(same(pair_cor(sx, sy, 2), cor(x, y))) << x[0] << " " << y[0];
    }
}

TEST(CalcMeanCor, PrintsItsLineAndCountsZeroSpreadRows) {
  block_matrix m;
  shape_matrix(m, max_block_size, 3);
  const double r0[] = {1, 2, 3}, r1[] = {2, 4, 6}, r2[] = {5, 5, 5};
  std::memcpy(matrix_row(m, 0), r0, sizeof r0);
  std::memcpy(matrix_row(m, 1), r1, sizeof r1);
  std::memcpy(matrix_row(m, 2), r2, sizeof r2);
  console out;
  std::string printed;
  out.capture = &printed;
  const double cand[] = {1, 2, 3};
  double two = calc_mean_cor(m, cand, 2, 3, out);
  EXPECT_EQ(two, (calc_cor(r0, cand, 3) + calc_cor(r1, cand, 3)) / 2);
  // The constant row adds 0 but counts in the divisor.
  double three = calc_mean_cor(m, cand, 3, 3, out);
  EXPECT_EQ(three, (calc_cor(r0, cand, 3) + calc_cor(r1, cand, 3) + 0.0) / 3);
  const double flat[] = {0.5, 0.5, 0.5};
  EXPECT_EQ(bits(calc_mean_cor(m, flat, 3, 3, out)), bits(0.0));
  EXPECT_EQ(printed, "mean_cor:2 1\nmean_cor:3 0.666667\nmean_cor:3 0\n");
}

}  // namespace
}  // namespace cpg
