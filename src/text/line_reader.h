// Line reading shared by every input file. A line ends at a line feed; a
// carriage return directly before the line feed is not part of the line; the
// empty read at a final line feed is no line (an empty file has none); a last
// line without a line feed is a line. Lines are handed out as views into one
// buffer per file, valid until the next read from the same reader.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cpg {

enum class read_status { line, end, error };

struct line_reader {
  int fd = -1;                // -1 for a reader over text held in memory
  char* data = nullptr;       // the buffer: `own`, or storage lent by the caller
  std::size_t cap = 0;
  std::vector<char> own;
  std::size_t pos = 0;        // first unread byte in buf
  std::size_t end = 0;        // one past the last byte in buf
  bool at_eof = false;        // the file has nothing left beyond buf
  bool failed = false;        // a read failed (I/O error, a directory)
};

enum class open_status { ok, not_open };

// Open path for reading with a buffer of buffer_size bytes (grown for longer
// lines). With `storage`, the buffer is those buffer_size bytes, which must
// outlive the reader; a longer line moves it into storage of its own.
open_status open_line_reader(line_reader& r, const std::string& path, std::size_t buffer_size,
                             char* storage = nullptr);
// A reader over text in memory (tests, fuzzing); takes a copy.
void open_memory_reader(line_reader& r, std::string_view text);
void close_line_reader(line_reader& r);

read_status read_line(line_reader& r, std::string_view& line);
// Pass over one line without handing it out.
read_status skip_line(line_reader& r);

}  // namespace cpg
