// Run-wide tables and limits. The tables are plain vectors owned by main and
// passed to each step. They reserve their named capacity at start (address
// space only: nothing is touched until input fills it) and grow past it when
// the input needs more, so no input is refused for its size and no entry is
// ever written or read outside a table.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace cpg {

inline constexpr std::int32_t max_sample = 1500;
inline constexpr std::int32_t max_coord = 3000000;
inline constexpr std::int32_t max_block_size = 10000;
inline constexpr double sd_threshold = 1e-10;
inline constexpr double missing_code = -1.0;

struct site_list {
  std::vector<std::int32_t> coord;         // coordinate of site i
  std::vector<std::int32_t> select_sites;  // 0: site i never joins a block
};

// Entry b of each vector describes block number b + 1.
struct block_tables {
  std::vector<std::int32_t> block_start_i_cpg;
  std::vector<std::int32_t> block_end_i_cpg;
  std::vector<std::int32_t> block_size_select;
  std::vector<double> block_inter_cor;
};

struct run_tables {
  std::vector<std::string> sample_names;
  site_list sites;
  block_tables blocks;
};

void reserve_tables(run_tables& t);

}  // namespace cpg
