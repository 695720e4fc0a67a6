#include "text/line_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace cpg {
namespace {

using test::scratch_dir;
using test::write_file;
using namespace std::string_literals;

std::vector<std::string> all_lines(line_reader& r) {
  std::vector<std::string> lines;
  std::string_view line;
  read_status st;
  while ((st = read_line(r, line)) == read_status::line) lines.emplace_back(line);
  EXPECT_EQ(st, read_status::end);
  // The end is sticky: a read past it neither fails nor yields a line.
  EXPECT_EQ(read_line(r, line), read_status::end);
  EXPECT_EQ(skip_line(r), read_status::end);
  return lines;
}

struct line_case {
  std::string text;
  std::vector<std::string> lines;
};

std::vector<line_case> line_cases() {
  std::vector<line_case> cases = {
      {"a\nb\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r", {"a\r"}},  // only a CR directly before a LF is dropped
      {"a\rb\n", {"a\rb"}},
      {"a\r\r\n", {"a\r"}},
      {"\n", {""}},
      {"", {}},
      {"a\n\nb\n", {"a", "", "b"}},
      {"a\n\n", {"a", ""}},
      {"\r\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\0b\n\0\n"s, {"a\0b"s, "\0"s}},
      {"header,x\r\n100,0.5\r\n200,0.25", {"header,x", "100,0.5", "200,0.25"}},
  };
  // Lines of every length around a 16-byte buffer, so that the LF, the CR
  // before it, or both fall on either side of a refill.
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string x(n, 'x');
    cases.push_back({x + "\r\n" + x + "y\n" + "tail", {x, x + "y", "tail"}});
    cases.push_back({x + "\r", {x + "\r"}});
  }
  return cases;
}

TEST(LineReader, LinesFromMemory) {
  for (const line_case& c : line_cases()) {
    line_reader r;
    open_memory_reader(r, c.text);
    EXPECT_EQ(all_lines(r), c.lines) << '"' << c.text << '"';
    close_line_reader(r);
  }
}

TEST(LineReader, LinesFromAFileWithATinyBuffer) {
  scratch_dir dir;
  std::string path = dir / "in.csv";
  for (std::size_t buffer : {std::size_t{1}, std::size_t{16}, std::size_t{17}, std::size_t{4096}}) {
    for (const line_case& c : line_cases()) {
      write_file(path, c.text);
      line_reader r;
      ASSERT_EQ(open_line_reader(r, path, buffer), open_status::ok);
      EXPECT_EQ(all_lines(r), c.lines) << "buffer " << buffer << " \"" << c.text << '"';
      close_line_reader(r);
    }
  }
}

TEST(LineReader, LineOfSeveralMegabytesThroughA16ByteBuffer) {
  std::mt19937 rng(99);
  std::string big(5u << 20, ' ');
  for (char& ch : big) ch = static_cast<char>('!' + rng() % 90);
  scratch_dir dir;
  std::string path = dir / "big.csv";
  write_file(path, "head\n" + big + "\r\n" + big.substr(0, 1000) + "\nend");
  line_reader r;
  ASSERT_EQ(open_line_reader(r, path, 16), open_status::ok);
  std::vector<std::string> lines = all_lines(r);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "head");
  EXPECT_TRUE(lines[1] == big) << "long line differs, length " << lines[1].size();
  EXPECT_EQ(lines[2], big.substr(0, 1000));
  EXPECT_EQ(lines[3], "end");
  close_line_reader(r);
}

TEST(LineReader, SkipAndReadInterleaved) {
  std::string long_line(100, 'L');
  std::string text = "header\r\n" + long_line + "\nb\r\n" + long_line + "\r\nd\n\nf";
  scratch_dir dir;
  std::string path = dir / "in.csv";
  write_file(path, text);
  for (bool from_file : {false, true}) {
    line_reader r;
    if (from_file) ASSERT_EQ(open_line_reader(r, path, 16), open_status::ok);
    else open_memory_reader(r, text);
    std::string_view line;
    EXPECT_EQ(skip_line(r), read_status::line);  // header
    EXPECT_EQ(skip_line(r), read_status::line);  // a line longer than the buffer
    ASSERT_EQ(read_line(r, line), read_status::line);
    EXPECT_EQ(line, "b");
    EXPECT_EQ(skip_line(r), read_status::line);
    ASSERT_EQ(read_line(r, line), read_status::line);
    EXPECT_EQ(line, "d");
    EXPECT_EQ(skip_line(r), read_status::line);  // the empty line
    ASSERT_EQ(read_line(r, line), read_status::line);
    EXPECT_EQ(line, "f");
    EXPECT_EQ(skip_line(r), read_status::end);
    EXPECT_EQ(read_line(r, line), read_status::end);
    close_line_reader(r);
  }
}

TEST(LineReader, MissingPathIsNotOpen) {
  scratch_dir dir;
  line_reader r;
  EXPECT_EQ(open_line_reader(r, dir / "missing.csv", 16), open_status::not_open);
  EXPECT_EQ(open_line_reader(r, dir / "no_dir/x.csv", 16), open_status::not_open);
}

TEST(LineReader, DirectoryReadsAsAnError) {
  scratch_dir dir;
  line_reader r;
  // Opening a directory read-only succeeds on POSIX; the first read fails.
  ASSERT_EQ(open_line_reader(r, dir.path, 16), open_status::ok);
  std::string_view line;
  EXPECT_EQ(read_line(r, line), read_status::error);
  EXPECT_EQ(read_line(r, line), read_status::error);  // the failure sticks
  EXPECT_EQ(skip_line(r), read_status::error);
  close_line_reader(r);
}

}  // namespace
}  // namespace cpg
