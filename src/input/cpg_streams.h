// The per-sample CpG data files, read in lock-step: one line of every file
// per site, sample 0 first. The block pass visits every site in order and
// reads exactly the selected ones, so the streams know ahead which lines to
// parse and which only to pass over: they read a batch of sites at a time
// for all samples at once (samples shared among the worker threads) into a
// sample-major buffer. A short file or a read error found ahead is reported
// only when the pass reaches that site, so standard output is the same as
// for a strictly sequential read.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/big_alloc.h"
#include "platform/workers.h"
#include "text/console.h"
#include "text/line_reader.h"

namespace cpg {

struct cpg_streams {
  std::vector<line_reader> readers;  // stream k reads sample k's file
  std::vector<std::string> paths;
  std::vector<char, big_allocator<char>> buffer_arena;  // the readers' buffers
  std::int32_t sample_count = 0;

  // What the pass will read, fixed before it starts.
  const std::int32_t* select_sites = nullptr;
  std::int32_t site_count = 0;
  workers* pool = nullptr;

  std::int32_t next_site = 0;  // the site the next skip or read consumes

  // Two batches of sites read ahead: the pass consumes one while the pool
  // reads the next. Slot j of a batch holds the values of its j-th selected
  // site, sample k at j * sample_count + k: the pass takes a site's values
  // in one piece, and the samples read together fill whole cache lines.
  struct batch {
    std::int32_t begin = 0, end = 0;
    std::vector<double, big_allocator<double>> values;
  };
  batch batches[2];
  int current = 0;             // the batch the pass consumes
  bool reading_ahead = false;  // the other batch is being filled by the pool
  std::int32_t batch_slots = 0;
  std::int32_t next_slot = 0;

  // Per sample, the site whose line could not be had (a file of that many
  // site lines, or a read error there), or INT32_MAX; the smallest of them
  // over the batches read so far. Written by the batch reads only.
  std::vector<std::int32_t> fail_site;
  std::vector<char> fail_is_error;
  std::int32_t first_fail = INT32_MAX;
};

// Open every sample's file and consume its header; prints the closing lines.
// name_builder / current_file_name as the driver keeps them.
bool open_cpg_data_streams(cpg_streams& s, const std::string& coverage_root, std::int32_t chromosome,
                           const std::vector<std::string>& sample_names, std::int32_t sample_count,
                           std::string& current_file_name, console& out);

// Streams over texts in memory (tests, fuzzing): texts[k] is sample k's file, header included.
void open_memory_streams(cpg_streams& s, const std::vector<std::string>& texts);

// Fix what the pass will read; must precede the first skip or read.
void plan_reads(cpg_streams& s, const std::int32_t* select_sites, std::int32_t site_count, workers* pool);

// One site in every stream; false (message on the console) when a file
// holds no line for it or could not be read.
bool skip_site_line(cpg_streams& s, console& out);
// Field 2 of one site line of every stream into values[0 .. sample_count).
// At the end of the site list every value is 0.0, whatever the files hold beyond.
bool read_site_values(cpg_streams& s, double* values, console& out);

// Wait for the read-ahead; the streams are then idle and may be closed or
// destroyed (a pool may be reading them until then).
void finish_reads(cpg_streams& s);
void close_cpg_stream(cpg_streams& s, std::int32_t k);

}  // namespace cpg
