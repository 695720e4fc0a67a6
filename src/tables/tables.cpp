#include "tables/tables.h"

namespace cpg {

void reserve_tables(run_tables& t) {
  t.sample_names.reserve(max_sample);
  t.sites.coord.reserve(max_coord);
  t.sites.select_sites.reserve(max_coord);
  t.blocks.block_start_i_cpg.reserve(max_coord);
  t.blocks.block_end_i_cpg.reserve(max_coord);
  t.blocks.block_size_select.reserve(max_coord);
  t.blocks.block_inter_cor.reserve(max_coord);
}

}  // namespace cpg
