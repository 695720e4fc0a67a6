// The block pass: one walk over the sites that grows, closes and records the
// blocks of correlated neighbouring selected sites.
#pragma once
#include <cstdint>
#include <vector>

#include "correlation/block_matrix.h"
#include "correlation/fast_cor.h"
#include "input/cpg_streams.h"
#include "output/block_data.h"
#include "platform/workers.h"
#include "tables/tables.h"
#include "text/console.h"

namespace cpg {

struct pass_settings {
  double min_mean_block_cor = 0.0;
  double min_new_block_cor = 0.0;
  std::int32_t min_n_new_block_cor = 0;
};

// How the block's correlations are computed: the defining calc_cor per pair
// over cpg_data_matrix, or the fast form (same bits).
enum class cor_path { fast, straightforward };

struct pass_inputs {
  std::int32_t site_count = 0;
  std::int32_t sample_count = 0;
  const std::vector<std::int32_t>* select_sites = nullptr;
  cor_path path = cor_path::fast;
  cor_kernel kernel = cor_kernel::scalar;
  workers* pool = nullptr;       // shares long blocks' correlations
  workers* read_pool = nullptr;  // reads the CpG data ahead
};

// Runs the pass; block_count receives the number of blocks recorded in
// blocks. False when a CpG data file failed (the message is on the console).
bool grow_blocks(const pass_settings& p, const pass_inputs& in, cpg_streams& streams, block_data_files& files,
                 std::vector<double>& block_sum, std::vector<double>& next_values, block_matrix& cpg_data_matrix,
                 block_tables& blocks, std::int32_t& block_count, console& out);

}  // namespace cpg
