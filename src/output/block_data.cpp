#include "output/block_data.h"

#include <algorithm>

namespace cpg {

namespace {

std::size_t file_buffer_size(std::int32_t sample_count) {
  std::size_t per = (std::size_t{8} << 20) / static_cast<std::size_t>(std::max(sample_count, 1));
  return std::clamp<std::size_t>(per, 4 << 10, 64 << 10);
}

}  // namespace

bool open_block_data_files(block_data_files& b, const std::string& output_root, std::int32_t chromosome,
                           const std::vector<std::string>& sample_names, std::int32_t sample_count,
                           std::string& current_file_name, int exponent_digits, console& out) {
  b.files.resize(static_cast<std::size_t>(sample_count));
  b.paths.resize(static_cast<std::size_t>(sample_count));
  std::size_t buffer_size = file_buffer_size(sample_count);
  std::string chr = std::to_string(chromosome);
  for (std::int32_t k = 0; k < sample_count; ++k) {
    std::string& path = b.paths[static_cast<std::size_t>(k)];
    path = output_root + "chr" + chr + "/" + sample_names[static_cast<std::size_t>(k)] + ".csv";
    current_file_name = path;
    out_file& f = b.files[static_cast<std::size_t>(k)];
    if (!open_out_file(f, path, buffer_size, exponent_digits)) {
      say(out, " Block data output file number "), say_int(out, k), say(out, " named "), say(out, path);
      say(out, "  is not open \n");
      return false;
    }
    put_text(f, "coord,coverage\n");
  }
  say(out, " Final block data output file opened "), say(out, current_file_name), say(out, "\n");
  say(out, " \n");
  return true;
}

void open_memory_block_data_files(block_data_files& b, std::vector<std::string>& sinks, int exponent_digits) {
  b.files.resize(sinks.size());
  b.paths.resize(sinks.size());
  for (std::size_t k = 0; k < sinks.size(); ++k) {
    open_memory_out_file(b.files[k], &sinks[k], exponent_digits);
    b.paths[k] = "block" + std::to_string(k);
    put_text(b.files[k], "coord,coverage\n");
  }
}

void write_block_data(block_data_files& b, std::int32_t block_number, const double* values) {
  for (std::size_t k = 0; k < b.files.size(); ++k) {
    out_file& f = b.files[k];
    put_int(f, block_number);
    put_text(f, ",");
    put_sci15(f, values[k]);
    put_text(f, "\n");
  }
}

bool close_block_data_file(block_data_files& b, std::int32_t k, console& out) {
  if (close_out_file(b.files[static_cast<std::size_t>(k)])) return true;
  say(out, " Block data output file number "), say_int(out, k), say(out, " named ");
  say(out, b.paths[static_cast<std::size_t>(k)]), say(out, "  could not be written \n");
  return false;
}

}  // namespace cpg
