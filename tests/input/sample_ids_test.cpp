#include <gtest/gtest.h>

#include "input/sample_ids.h"
#include "test_support.h"

namespace cpg::test {
namespace {

struct sample_case {
  const char* name;
  std::string text;
  std::vector<std::string> ids;
};

TEST(ReadSample, LinesBecomeIdsWholeAndInOrder) {
  const std::vector<sample_case> cases = {
      {"final LF", "S1\nS2\nS3\n", {"S1", "S2", "S3"}},
      {"no final LF", "S1\nS2\nS3", {"S1", "S2", "S3"}},
      {"CRLF", "S1\r\nS2\r\nS3\r\n", {"S1", "S2", "S3"}},
      {"empty file", "", {}},
      {"one LF only", "\n", {""}},
      {"empty line in the middle", "S1\n\nS2\n", {"S1", "", "S2"}},
      {"two final LFs", "S1\nS2\n\n", {"S1", "S2", ""}},
      {"blanks and commas kept", " S1 \nS,2\n", {" S1 ", "S,2"}},
      {"lone CR is part of the ID", "S1\rX\n", {"S1\rX"}},
  };
  scratch_dir dir;
  for (const sample_case& c : cases) {
    std::string path = dir / "samples.txt";
    write_file(path, c.text);
    std::string text;
    console out;
    out.capture = &text;
    std::vector<std::string> names{"stale"};
    std::int32_t count = -1;
    EXPECT_TRUE(read_sample(path, names, count, out)) << c.name;
    flush_console(out);
    EXPECT_EQ(text, "") << c.name;
    EXPECT_EQ(count, static_cast<std::int32_t>(c.ids.size())) << c.name;
    EXPECT_EQ(names, c.ids) << c.name;
  }
}

TEST(ReadSample, MissingFileAndDirectoryAreReportedApart) {
  scratch_dir dir;
  struct failure {
    std::string path, message;
  };
  const std::vector<failure> cases = {
      {dir / "absent.txt", " Sample file " + (dir / "absent.txt") + "  is not open \n"},
      {dir.path, " Sample file " + dir.path + "  could not be read \n"},
  };
  for (const failure& c : cases) {
    std::string text;
    console out;
    out.capture = &text;
    std::vector<std::string> names;
    std::int32_t count = 0;
    EXPECT_FALSE(read_sample(c.path, names, count, out)) << c.path;
    flush_console(out);
    EXPECT_EQ(text, c.message);
  }
}

}  // namespace
}  // namespace cpg::test
