#include "output/block_data.h"

#include <charconv>
#include <cstring>
#include <utility>

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
  for (auto* w : {&b.pending, &b.writing}) w->values.reserve(pending_values_max + static_cast<std::size_t>(sample_count));
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

namespace {

// Each sample's lines are formatted into one scratch text that stays in
// cache and goes to the file in one write.
void write_sample_lines(out_file& f, const block_data_files::batch& w, std::size_t k, std::size_t n) {
  thread_local std::vector<char> text;
  const std::size_t blocks = w.numbers.size();
  text.resize(blocks * (16 + number_text_max + 1));
  char* q = text.data();
  for (std::size_t j = 0; j < blocks; ++j) {
    const char* prefix = w.prefixes.data() + j * 16;
    std::memcpy(q, prefix, 16);
    q += static_cast<unsigned char>(prefix[15]);
    q += format_sci15(q, w.values[j * n + k], f.exponent_digits);
    *q++ = '\n';
  }
  put_text(f, std::string_view(text.data(), static_cast<std::size_t>(q - text.data())));
}

void finish_writing(block_data_files& b) {
  if (b.writing_busy) finish_each_index(*b.pool);
  b.writing_busy = false;
}

// Swap the pending lines into `writing` and have them written, in the
// background when there is a pool.
void start_writing(block_data_files& b) {
  finish_writing(b);
  std::swap(b.pending, b.writing);
  b.pending.numbers.clear();
  b.pending.values.clear();
  block_data_files::batch& w = b.writing;
  // "number," once per block, shared by every sample's line; its length in the last byte.
  w.prefixes.resize(w.numbers.size() * 16);
  for (std::size_t j = 0; j < w.numbers.size(); ++j) {
    char* p = w.prefixes.data() + j * 16;
    char* e = std::to_chars(p, p + 14, w.numbers[j]).ptr;
    *e++ = ',';
    p[15] = static_cast<char>(e - p);
  }
  const std::size_t n = b.files.size();
  int items = static_cast<int>((n + samples_per_item - 1) / samples_per_item);
  auto write_item = [&b, n](int item) {
    for (std::size_t k = static_cast<std::size_t>(item) * samples_per_item;
         k < n && k < static_cast<std::size_t>(item + 1) * samples_per_item; ++k)
      write_sample_lines(b.files[k], b.writing, k, n);
  };
  if (b.pool != nullptr) {
    begin_each_index(*b.pool, items, write_item);
    b.writing_busy = true;
  } else {
    for (int item = 0; item < items; ++item) write_item(item);
  }
}

}  // namespace

void write_block_data(block_data_files& b, std::int32_t block_number, const double* values) {
  b.pending.numbers.push_back(block_number);
  b.pending.values.insert(b.pending.values.end(), values, values + b.files.size());
  if (b.pending.values.size() >= pending_values_max) start_writing(b);
}

void flush_block_data(block_data_files& b) {
  if (!b.pending.numbers.empty()) start_writing(b);
  finish_writing(b);
}

bool close_block_data_file(block_data_files& b, std::int32_t k, console& out) {
  if (close_out_file(b.files[static_cast<std::size_t>(k)])) return true;
  say(out, " Block data output file number "), say_int(out, k), say(out, " named ");
  say(out, b.paths[static_cast<std::size_t>(k)]), say(out, "  could not be written \n");
  return false;
}

}  // namespace cpg
