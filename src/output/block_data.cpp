#include "output/block_data.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "text/number_format.h"

namespace cpg {

namespace {

// Data lines reach the files in large pieces straight from the formatter;
// the buffer only holds the header until then.
constexpr std::size_t file_buffer_size = 256;

// About 2 MB of values wait before they are written out.
constexpr std::size_t pending_values_max = 1 << 18;
constexpr std::size_t samples_per_item = 4;

}  // namespace

bool open_block_data_files(block_data_files& b, const std::string& output_root, std::int32_t chromosome,
                           const std::vector<std::string>& sample_names, std::int32_t sample_count,
                           std::string& current_file_name, int exponent_digits, console& out) {
  b.files.resize(static_cast<std::size_t>(sample_count));
  b.paths.resize(static_cast<std::size_t>(sample_count));
  std::string chr = std::to_string(chromosome);
  for (std::int32_t k = 0; k < sample_count; ++k) {
    std::string& path = b.paths[static_cast<std::size_t>(k)];
    path = output_root + "chr" + chr + "/" + sample_names[static_cast<std::size_t>(k)] + ".csv";
    current_file_name = path;
    out_file& f = b.files[static_cast<std::size_t>(k)];
    if (!open_out_file(f, path, file_buffer_size, exponent_digits)) {
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
  b.pending_numbers.push_back(block_number);
  b.pending_values.insert(b.pending_values.end(), values, values + b.files.size());
  if (b.pending_values.size() >= pending_values_max) flush_block_data(b);
}

void flush_block_data(block_data_files& b) {
  const std::size_t n = b.files.size(), blocks = b.pending_numbers.size();
  if (blocks == 0) return;
  // "number," once per block, shared by every sample's line.
  std::vector<char> prefixes(blocks * 16);
  std::vector<unsigned char> prefix_len(blocks);
  for (std::size_t j = 0; j < blocks; ++j) {
    char* p = prefixes.data() + j * 16;
    char* e = std::to_chars(p, p + 15, b.pending_numbers[j]).ptr;
    *e++ = ',';
    prefix_len[j] = static_cast<unsigned char>(e - p);
  }
  // Each sample's lines are formatted into one scratch text that stays in
  // cache and goes to the file in one write.
  auto format_sample = [&](int item) {
    thread_local std::vector<char> text;
    text.resize(blocks * (16 + number_text_max + 1));
    for (std::size_t k = static_cast<std::size_t>(item) * samples_per_item;
         k < n && k < static_cast<std::size_t>(item + 1) * samples_per_item; ++k) {
      char* q = text.data();
      for (std::size_t j = 0; j < blocks; ++j) {
        std::memcpy(q, prefixes.data() + j * 16, 16);
        q += prefix_len[j];
        q += format_sci15(q, b.pending_values[j * n + k], b.files[k].exponent_digits);
        *q++ = '\n';
      }
      put_text(b.files[k], std::string_view(text.data(), static_cast<std::size_t>(q - text.data())));
    }
  };
  int items = static_cast<int>((n + samples_per_item - 1) / samples_per_item);
  if (b.pool != nullptr) for_each_index(*b.pool, items, format_sample);
  else for (int item = 0; item < items; ++item) format_sample(item);
  b.pending_numbers.clear();
  b.pending_values.clear();
}

bool close_block_data_file(block_data_files& b, std::int32_t k, console& out) {
  if (close_out_file(b.files[static_cast<std::size_t>(k)])) return true;
  say(out, " Block data output file number "), say_int(out, k), say(out, " named ");
  say(out, b.paths[static_cast<std::size_t>(k)]), say(out, "  could not be written \n");
  return false;
}

}  // namespace cpg
