// One block data file per sample: header "coord,coverage", then per block its
// number and the sample's mean over the block in the 15-digit scientific form.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/big_alloc.h"
#include "platform/workers.h"
#include "text/console.h"
#include "text/out_file.h"

namespace cpg {

// Data lines are formatted in batches: the values of recent blocks wait
// (block-major) and are then formatted and written for all samples at once
// by the pool, in the background, while the pass fills the other batch. The
// files' text is the same as line by line.
struct block_data_files {
  std::vector<out_file> files;  // file k belongs to sample k
  std::vector<std::string> paths;
  struct batch {
    std::vector<std::int32_t> numbers;
    std::vector<double, big_allocator<double>> values;  // block j, sample k at j * files.size() + k
    std::vector<char> prefixes;  // "number," of block j at j * 16
  };
  batch pending, writing;
  bool writing_busy = false;  // the pool is writing `writing`
  workers* pool = nullptr;
};

bool open_block_data_files(block_data_files& b, const std::string& output_root, std::int32_t chromosome,
                           const std::vector<std::string>& sample_names, std::int32_t sample_count,
                           std::string& current_file_name, int exponent_digits, console& out);

// Files in memory (tests, fuzzing): file k's text lands in sinks[k].
void open_memory_block_data_files(block_data_files& b, std::vector<std::string>& sinks, int exponent_digits);

// One line "number,value" in every file, value k for sample k.
void write_block_data(block_data_files& b, std::int32_t block_number, const double* values);
// Format and hand to the files every pending line, and wait until done.
// The pool works on the files in the background: call this before the
// files go, whether the pass succeeded or not.
void flush_block_data(block_data_files& b);

// Close file k (after flush_block_data); false, with the message on the console, when it could not be written.
bool close_block_data_file(block_data_files& b, std::int32_t k, console& out);

}  // namespace cpg
