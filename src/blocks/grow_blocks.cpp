#include "blocks/grow_blocks.h"

#include <cstring>
#include <utility>

#include "correlation/calc_cor.h"

namespace cpg {

namespace {

struct pass_state {
  const pass_settings& p;
  const pass_inputs& in;
  cpg_streams& streams;
  block_data_files& files;
  std::vector<double>& block_sum;
  std::vector<double>& next_values;
  block_matrix& matrix;
  block_tables& blocks;
  std::int32_t& block_count;
  console& out;

  std::int32_t site_cursor = 0;
  // Fast path: the statistics of the block's first site and of the look-ahead site.
  site_stats first_stats, next_stats;
  dev_rows rows;
  std::vector<double> means;
};

bool fast(const pass_state& s) { return s.in.path == cor_path::fast; }

// Scan to the next selected site, passing over the others in every stream.
bool scan(pass_state& s) {
  const std::vector<std::int32_t>& select = *s.in.select_sites;
  while (s.site_cursor < s.in.site_count && select[static_cast<std::size_t>(s.site_cursor)] == 0) {
    if (!skip_site_line(s.streams, s.out)) return false;
    ++s.site_cursor;
  }
  return true;
}

bool read_next(pass_state& s, std::vector<double>& values) {
  if (!read_site_values(s.streams, values.data(), s.out)) return false;
  if (fast(s)) compute_site_stats(values.data(), s.in.sample_count, s.next_stats);
  return true;
}

void copy_row(pass_state& s, std::int32_t r, const std::vector<double>& values, const site_stats& st) {
  if (fast(s)) set_dev_row(s.rows, r, st);
  else if (s.in.sample_count > 0)
    std::memcpy(matrix_row(s.matrix, r), values.data(), static_cast<std::size_t>(s.in.sample_count) * sizeof(double));
}

void record_block(pass_state& s, std::int32_t first, std::int32_t last, double cor, std::int32_t size,
                  const double* values) {
  s.blocks.block_start_i_cpg.push_back(first);
  s.blocks.block_end_i_cpg.push_back(last);
  s.blocks.block_inter_cor.push_back(cor);
  s.blocks.block_size_select.push_back(size);
  write_block_data(s.files, s.block_count + 1, values);
  ++s.block_count;
}

double mean_cor(pass_state& s, std::int32_t block_n) {
  if (!fast(s)) return calc_mean_cor(s.matrix, s.next_values.data(), block_n, s.in.sample_count, s.out);
  double mean = fast_mean_cor(s.rows, s.next_stats, block_n, s.in.pool);
  print_mean_cor(s.out, block_n, mean);
  return mean;
}

}  // namespace

bool grow_blocks(const pass_settings& p, const pass_inputs& in, cpg_streams& streams, block_data_files& files,
                 std::vector<double>& block_sum, std::vector<double>& next_values, block_matrix& cpg_data_matrix,
                 block_tables& blocks, std::int32_t& block_count, console& out) {
  pass_state s{p, in, streams, files, block_sum, next_values, cpg_data_matrix, blocks, block_count, out, 0, {}, {}, {}, {}};
  const std::int32_t n = in.sample_count;
  const std::size_t un = static_cast<std::size_t>(n);
  block_sum.resize(un);
  next_values.resize(un);
  s.means.resize(un);
  reset_dev_rows(s.rows, n, in.kernel);
  plan_reads(streams, in.select_sites->data(), in.site_count, in.read_pool);

  bool have_first_values = false;
  std::int32_t last_added_site = 0, previous_n = 0;
  block_count = 0;

  while (s.site_cursor < in.site_count) {
    std::int32_t block_n = 2, low_cor_run = 0;
    double previous_cor = 0.0;
    bool grew = false, one_site = false;

    if (!scan(s)) return false;
    if (s.site_cursor >= in.site_count) break;
    // The first site: read for the first block, else the look-ahead site
    // the previous block refused.
    if (!have_first_values) {
      if (!read_next(s, block_sum)) return false;
      have_first_values = true;
    } else {
      block_sum = next_values;
    }
    std::swap(s.first_stats, s.next_stats);
    const std::int32_t first_site = s.site_cursor;

    ++s.site_cursor;
    if (!scan(s) || !read_next(s, next_values)) return false;
    double running_cor = fast(s) ? pair_cor(s.first_stats, s.next_stats, n) : calc_cor(block_sum.data(), next_values.data(), n);

    if (running_cor < p.min_mean_block_cor) {
      record_block(s, first_site, first_site, missing_code, 1, block_sum.data());
      one_site = true;
    } else {
      copy_row(s, 0, block_sum, s.first_stats);
      copy_row(s, 1, next_values, s.next_stats);
    }

    while (running_cor > p.min_mean_block_cor && s.site_cursor < in.site_count &&
           low_cor_run <= p.min_n_new_block_cor) {
      for (std::size_t k = 0; k < un; ++k) block_sum[k] = block_sum[k] + next_values[k];
      last_added_site = s.site_cursor;
      ++s.site_cursor;
      if (!scan(s) || !read_next(s, next_values)) return false;
      double new_site_cor = mean_cor(s, block_n);
      if (new_site_cor < p.min_new_block_cor) ++low_cor_run;
      else low_cor_run = 0;
      // 64-bit so that blocks past 65,535 sites keep the exact pair count.
      std::int64_t pair_count = static_cast<std::int64_t>(block_n - 1) * block_n / 2;
      double pair_weight = static_cast<double>(pair_count) / static_cast<double>(block_n + pair_count);
      previous_cor = running_cor;
      running_cor = (1 - pair_weight) * new_site_cor + pair_weight * previous_cor;
      copy_row(s, block_n, next_values, s.next_stats);
      previous_n = block_n;
      ++block_n;
      grew = true;
    }

    if (previous_cor > p.min_mean_block_cor) {
      if (grew) {
        const double sites = static_cast<double>(block_n - 1);
        for (std::size_t k = 0; k < un; ++k) s.means[k] = block_sum[k] / sites;
        record_block(s, first_site, last_added_site, previous_cor, previous_n, s.means.data());
      } else if (!one_site) {
        // Only a negative threshold gets here: a block that took no growth
        // step is its first site alone, recorded once.
        record_block(s, first_site, first_site, missing_code, 1, block_sum.data());
      }
    }
  }
  return true;
}

}  // namespace cpg
