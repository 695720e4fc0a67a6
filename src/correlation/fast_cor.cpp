#include "correlation/fast_cor.h"

#include <algorithm>
#include <cmath>

#include "correlation/calc_cor.h"

namespace cpg {

void compute_site_stats(const double* values, std::int32_t n, site_stats& st) {
  st.dev.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  double s = 0.0;
  for (std::int32_t i = 0; i < n; ++i) s = s + values[i];
  double mean = s / n;
  double ss = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    double d = values[i] - mean;
    st.dev[static_cast<std::size_t>(i)] = d;
    ss = ss + d * d;
  }
  st.root = std::sqrt(ss);
}

double pair_cor(const site_stats& x, const site_stats& y, std::int32_t n) {
  double sxy = 0.0;
  for (std::int32_t i = 0; i < n; ++i) sxy = sxy + x.dev[static_cast<std::size_t>(i)] * y.dev[static_cast<std::size_t>(i)];
  return cor_from_sums(sxy, x.root, y.root);
}

const char* cor_kernel_name(cor_kernel k) {
  switch (k) {
    case cor_kernel::avx512: return "avx512";
    case cor_kernel::avx2: return "avx2";
    default: return "scalar";
  }
}

bool cor_kernel_supported(cor_kernel k) {
  switch (k) {
    case cor_kernel::avx512: return __builtin_cpu_supports("avx512f");
    case cor_kernel::avx2: return __builtin_cpu_supports("avx2");
    default: return true;
  }
}

cor_kernel best_cor_kernel() {
  if (cor_kernel_supported(cor_kernel::avx512)) return cor_kernel::avx512;
  if (cor_kernel_supported(cor_kernel::avx2)) return cor_kernel::avx2;
  return cor_kernel::scalar;
}

void reset_dev_rows(dev_rows& rows, std::int32_t n, cor_kernel kernel) {
  rows.n = n;
  rows.kernel = kernel;
  rows.dev.clear();
  rows.root.clear();
}

void set_dev_row(dev_rows& rows, std::int32_t r, const site_stats& st) {
  const std::size_t n = static_cast<std::size_t>(rows.n);
  const std::size_t group = static_cast<std::size_t>(r / row_lanes), lane = static_cast<std::size_t>(r % row_lanes);
  const std::size_t group_size = n * row_lanes;
  if (rows.dev.size() < (group + 1) * group_size) rows.dev.resize((group + 1) * group_size, 0.0);
  if (rows.root.size() <= static_cast<std::size_t>(r)) rows.root.resize(static_cast<std::size_t>(r) + 1);
  double* g = rows.dev.data() + group * group_size;
  for (std::size_t i = 0; i < n; ++i) g[i * row_lanes + lane] = st.dev[i];
  rows.root[static_cast<std::size_t>(r)] = st.root;
}

double fast_mean_cor(dev_rows& rows, const site_stats& candidate, std::int32_t count, workers* pool) {
  const std::int32_t groups = (count + row_lanes - 1) / row_lanes;
  const std::size_t group_size = static_cast<std::size_t>(rows.n) * row_lanes;
  rows.sxy.resize(static_cast<std::size_t>(groups) * row_lanes);
  dot_groups_fn dot = dot_groups_for(rows.kernel);
  // Work per step grows with the block; below this many products a second
  // thread costs more in hand-over than it saves.
  constexpr std::int64_t parallel_products = 1 << 18;
  constexpr std::int32_t groups_per_item = 8;
  std::int64_t products = static_cast<std::int64_t>(groups) * static_cast<std::int64_t>(group_size);
  if (pool != nullptr && worker_count(*pool) > 1 && products >= parallel_products) {
    int items = (groups + groups_per_item - 1) / groups_per_item;
    for_each_index(*pool, items, [&](int item) {
      std::int32_t g0 = item * groups_per_item;
      std::int32_t g1 = std::min(groups, g0 + groups_per_item);
      dot(rows.dev.data() + static_cast<std::size_t>(g0) * group_size, candidate.dev.data(), rows.n, g1 - g0,
          rows.sxy.data() + static_cast<std::size_t>(g0) * row_lanes);
    });
  } else if (groups > 0) {
    dot(rows.dev.data(), candidate.dev.data(), rows.n, groups, rows.sxy.data());
  }
  double s = 0.0;
  for (std::int32_t r = 0; r < count; ++r)
    s = s + cor_from_sums(rows.sxy[static_cast<std::size_t>(r)], rows.root[static_cast<std::size_t>(r)], candidate.root);
  return s / static_cast<double>(count);
}

}  // namespace cpg
