// The line reader on arbitrary bytes (CR, LF, NUL, no final LF, long lines),
// from memory and from a file with a tiny buffer, held to a plain splitter.
// Input: byte 0 picks the file buffer size and whether the buffer is lent
// storage, bytes 1..4 say per line whether to read or skip it, byte 5 how
// many times the rest is repeated (long lines, up to 1 MB), the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reference.h"
#include "text/line_reader.h"

namespace {

void check_reader(cpg::line_reader& r, const std::vector<std::string>& want, std::uint32_t ops, const char* what) {
  std::string_view line;
  for (std::size_t i = 0; i < want.size(); ++i) {
    bool skip = (ops >> (i % 32)) & 1u;
    cpg::read_status st = skip ? cpg::skip_line(r) : cpg::read_line(r, line);
    if (st != cpg::read_status::line) ref::mismatch(what, "line missing: " + std::to_string(i));
    if (!skip && line != want[i])
      ref::mismatch(what, "line " + std::to_string(i) + ": got [" + std::string(line) + "] want [" + want[i] + "]");
  }
  // Once at the end, the reader stays there.
  for (int i = 0; i < 2; ++i) {
    if (cpg::read_line(r, line) != cpg::read_status::end) ref::mismatch(what, "extra line");
    if (cpg::skip_line(r) != cpg::read_status::end) ref::mismatch(what, "extra line (skip)");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::size_t buffer_size = 16 + data[0] % 49;
  const bool lent = data[0] & 0x80;
  const std::uint32_t ops = std::uint32_t(data[1]) | std::uint32_t(data[2]) << 8 | std::uint32_t(data[3]) << 16 |
                            std::uint32_t(data[4]) << 24;
  const std::size_t repeats = data[5] < 244 ? 1 : std::size_t(1) << (data[5] - 244);  // up to 2048
  std::string_view piece(reinterpret_cast<const char*>(data + 6), size - 6);
  std::string text;
  text.reserve(piece.size() * repeats);
  for (std::size_t i = 0; i < repeats && text.size() < (std::size_t(1) << 20); ++i) text.append(piece);

  const std::vector<std::string> want = ref::split_lines(text);

  cpg::line_reader m;
  cpg::open_memory_reader(m, text);
  check_reader(m, want, ops, "memory reader");
  cpg::close_line_reader(m);

  const std::string path = ref::temp_path("line_reader");
  ref::write_whole_file(path, text);
  std::vector<char> storage(lent ? buffer_size : 0);
  cpg::line_reader f;
  if (cpg::open_line_reader(f, path, buffer_size, lent ? storage.data() : nullptr) != cpg::open_status::ok)
    ref::mismatch("file reader did not open");
  check_reader(f, want, ~ops, "file reader");
  cpg::close_line_reader(f);
  std::remove(path.c_str());
  return 0;
}
