// Buffered output file with a sticky error: a failed write is remembered and
// reported when the file is closed, so that a full disk never passes for a
// complete run.
#pragma once
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace cpg {

struct out_file {
  int fd = -1;
  std::vector<char> buf;
  std::size_t used = 0;
  bool failed = false;
  int exponent_digits = 3;
  std::string* capture = nullptr;  // a file in memory (tests, fuzzing): flushed text lands here
};

// Create or truncate path for writing. False when it cannot be opened.
bool open_out_file(out_file& f, const std::string& path, std::size_t buffer_size, int exponent_digits);
// A file in memory that collects its text in *sink.
void open_memory_out_file(out_file& f, std::string* sink, int exponent_digits);
void flush_out_file(out_file& f);
// Flush and close; false when any write failed or the close did.
bool close_out_file(out_file& f);

// Writes a text longer than the buffer straight through, after what the buffer holds.
void write_through(out_file& f, std::string_view s);

inline void put_text(out_file& f, std::string_view s) {
  if (f.buf.size() - f.used < s.size()) {
    flush_out_file(f);
    if (f.buf.size() < s.size()) return write_through(f, s);
  }
  if (!s.empty()) std::memcpy(f.buf.data() + f.used, s.data(), s.size());
  f.used += s.size();
}

void put_int(out_file& f, long long v);
void put_general(out_file& f, double v);

}  // namespace cpg
