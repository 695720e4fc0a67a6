#include <gtest/gtest.h>

#include <unistd.h>

#include "output/block_data.h"
#include "test_support.h"

namespace cpg::test {
namespace {

struct opened {
  bool ok = false;
  std::string current = "before", out;
};

opened open_files(block_data_files& b, const std::string& root, const std::vector<std::string>& ids) {
  opened o;
  console out;
  out.capture = &o.out;
  o.ok = open_block_data_files(b, root, 7, ids, static_cast<std::int32_t>(ids.size()), o.current, 3, out);
  flush_console(out);
  return o;
}

bool close_all(block_data_files& b, std::string& out_text) {
  console out;
  out.capture = &out_text;
  bool ok = true;
  for (std::int32_t k = 0; k < static_cast<std::int32_t>(b.files.size()); ++k) ok = close_block_data_file(b, k, out) && ok;
  flush_console(out);
  return ok;
}

TEST(BlockDataFiles, EveryFileStartsWithItsHeaderAndTheLastNameIsPrinted) {
  struct root_case {
    std::string root_name;  // under the scratch directory
    std::string chr_dir;    // where the files land
  };
  const std::vector<root_case> cases = {{"out/", "out/chr7/"}, {"out", "outchr7/"}};
  for (const root_case& c : cases) {
    scratch_dir dir;
    make_dir(dir / "out");
    make_dir(dir / c.chr_dir);
    // A file left by an earlier run loses every old line.
    write_file(dir / (c.chr_dir + "S1.csv"), "coord,coverage\n1,1\n2,2\n3,3\n");
    block_data_files b;
    opened o = open_files(b, dir / c.root_name, {"S1", " S 2 "});
    ASSERT_TRUE(o.ok) << o.out;
    const std::string last = dir / (c.chr_dir + " S 2 .csv");
    EXPECT_EQ(o.current, last);
    EXPECT_EQ(o.out, " Final block data output file opened " + last + "\n \n");
    std::string closing;
    EXPECT_TRUE(close_all(b, closing));
    EXPECT_EQ(closing, "");
    EXPECT_EQ(read_file(dir / (c.chr_dir + "S1.csv")), "coord,coverage\n");
    EXPECT_EQ(read_file(last), "coord,coverage\n");
  }
}

TEST(BlockDataFiles, WithoutSamplesTheNameComposedBeforeIsPrinted) {
  scratch_dir dir;
  block_data_files b;
  opened o = open_files(b, dir / "missing/", {});
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.current, "before");
  EXPECT_EQ(o.out, " Final block data output file opened before\n \n");
}

TEST(BlockDataFiles, AFileThatCannotBeOpenedIsNamedWithItsNumber) {
  struct failure {
    const char* name;
    bool chr_dir;          // the chromosome directory exists
    std::string third_id;  // sample 2's ID
    bool third_is_dir;
    int number;
  };
  const std::vector<failure> cases = {
      {"chromosome directory missing", false, "S3", false, 0},
      {"third sample in a missing directory", true, "sub/S3", false, 2},
      {"third sample's path is a directory", true, "S3", true, 2},
  };
  for (const failure& c : cases) {
    scratch_dir dir;
    const std::string root = dir.path + "/";
    if (c.chr_dir) make_dir(root + "chr7");
    if (c.third_is_dir) make_dir(root + "chr7/" + c.third_id + ".csv");
    const std::vector<std::string> ids = {"S1", "S2", c.third_id};
    block_data_files b;
    opened o = open_files(b, root, ids);
    EXPECT_FALSE(o.ok) << c.name;
    const std::string name = root + "chr7/" + ids[static_cast<std::size_t>(c.number)] + ".csv";
    EXPECT_EQ(o.current, name) << c.name;
    EXPECT_EQ(o.out, " Block data output file number " + std::to_string(c.number) + " named " + name +
                         "  is not open \n")
        << c.name;
  }
}

TEST(BlockDataFiles, AFailedWriteIsReportedWhenTheFileIsClosed) {
  if (!file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  scratch_dir dir;
  const std::string root = dir.path + "/";
  make_dir(root + "chr7");
  ASSERT_EQ(symlink("/dev/full", (root + "chr7/S2.csv").c_str()), 0);
  block_data_files b;
  opened o = open_files(b, root, {"S1", "S2", "S3"});
  ASSERT_TRUE(o.ok) << o.out;
  std::string closing;
  EXPECT_FALSE(close_all(b, closing));
  EXPECT_EQ(closing, " Block data output file number 1 named " + root + "chr7/S2.csv  could not be written \n");
  EXPECT_EQ(read_file(root + "chr7/S1.csv"), "coord,coverage\n");
}

}  // namespace
}  // namespace cpg::test
