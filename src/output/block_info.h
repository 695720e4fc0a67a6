// The block info file: one line per block with its number, the coordinates
// of its first and last site, the sites it spans, its selected sites and its
// mean pairwise correlation.
#pragma once
#include <cstdint>
#include <string>

#include "tables/tables.h"
#include "text/console.h"

namespace cpg {

bool write_block_info(const std::string& output_root, std::int32_t chromosome, std::int32_t block_count,
                      const block_tables& blocks, const site_list& sites, std::string& current_file_name,
                      int exponent_digits, console& out);

// The file's text, header included (what write_block_info writes).
void block_info_text(std::int32_t block_count, const block_tables& blocks, const site_list& sites,
                     int exponent_digits, std::string& text);

}  // namespace cpg
