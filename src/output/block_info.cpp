#include "output/block_info.h"

#include "text/out_file.h"

namespace cpg {

namespace {

void write_rows(out_file& f, std::int32_t block_count, const block_tables& blocks, const site_list& sites) {
  put_text(f, "blocknr,begin,end,all_size,sel_size,meanCor\n");
  for (std::int32_t b = 0; b < block_count; ++b) {
    std::size_t i = static_cast<std::size_t>(b);
    std::int32_t first = blocks.block_start_i_cpg[i], last = blocks.block_end_i_cpg[i];
    put_int(f, b + 1), put_text(f, ",");
    put_int(f, sites.coord[static_cast<std::size_t>(first)]), put_text(f, ",");
    put_int(f, sites.coord[static_cast<std::size_t>(last)]), put_text(f, ",");
    put_int(f, static_cast<long long>(last) - first + 1), put_text(f, ",");
    put_int(f, blocks.block_size_select[i]), put_text(f, ",");
    put_general(f, blocks.block_inter_cor[i]), put_text(f, "\n");
  }
}

}  // namespace

bool write_block_info(const std::string& output_root, std::int32_t chromosome, std::int32_t block_count,
                      const block_tables& blocks, const site_list& sites, std::string& current_file_name,
                      int exponent_digits, console& out) {
  current_file_name = output_root + "blockInfoChr" + std::to_string(chromosome) + ".csv";
  out_file f;
  if (!open_out_file(f, current_file_name, 1 << 16, exponent_digits)) {
    say(out, " Block info output file "), say(out, current_file_name), say(out, " is not open"), say(out, "\n");
    flush_console(out);
    return false;
  }
  say(out, " Block info output file is "), say(out, current_file_name), say(out, "\n");
  write_rows(f, block_count, blocks, sites);
  if (!close_out_file(f)) {
    say(out, " Block info output file "), say(out, current_file_name), say(out, " could not be written\n");
    return false;
  }
  return true;
}

void block_info_text(std::int32_t block_count, const block_tables& blocks, const site_list& sites,
                     int exponent_digits, std::string& text) {
  out_file f;
  open_memory_out_file(f, &text, exponent_digits);
  write_rows(f, block_count, blocks, sites);
  close_out_file(f);
}

}  // namespace cpg
