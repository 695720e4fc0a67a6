#include <gtest/gtest.h>

#include <unistd.h>

#include "output/block_info.h"
#include "test_support.h"

namespace cpg::test {
namespace {

struct written {
  bool ok = false;
  std::string current, out;
};

written write_info(const std::string& root, std::int32_t block_count, const block_tables& blocks,
                   const site_list& sites) {
  written w;
  console out;
  out.capture = &w.out;
  w.ok = write_block_info(root, 7, block_count, blocks, sites, w.current, 3, out);
  flush_console(out);
  return w;
}

// Sites 10..14 with 11 and 13 unselected form the second block.
site_list sample_sites() {
  site_list s;
  for (std::int32_t i = 0; i < 20; ++i) {
    s.coord.push_back(1000 + 10 * i);
    s.select_sites.push_back(i == 11 || i == 13 ? 0 : 1);
  }
  s.coord[17] = 0;  // a coordinate read as 0 is written as 0
  return s;
}

block_tables sample_blocks() {
  block_tables b;
  b.block_start_i_cpg = {3, 10, 17};
  b.block_end_i_cpg = {3, 14, 19};
  b.block_size_select = {1, 3, 3};
  b.block_inter_cor = {-1.0, 0.912345678, 0.00005};
  return b;
}

TEST(BlockInfoFile, OneLinePerBlockUnderTheRootPrefix) {
  const std::string rows =
      "blocknr,begin,end,all_size,sel_size,meanCor\n"
      "1,1030,1030,1,1,-1\n"
      "2,1100,1140,5,3,0.912346\n"
      "3,0,1190,3,3,5e-005\n";
  for (const char* root_name : {"out/", "out"}) {
    scratch_dir dir;
    make_dir(dir / "out");
    const std::string name = dir / (std::string(root_name) + "blockInfoChr7.csv");
    write_file(name, std::string(500, 'x') + "\n");  // an earlier run's file is replaced
    written w = write_info(dir / root_name, 3, sample_blocks(), sample_sites());
    EXPECT_TRUE(w.ok) << root_name;
    EXPECT_EQ(w.current, name);
    EXPECT_EQ(w.out, " Block info output file is " + name + "\n");
    EXPECT_EQ(read_file(name), rows) << root_name;
  }
  std::string text;
  block_info_text(3, sample_blocks(), sample_sites(), 2, text);
  EXPECT_EQ(text, "blocknr,begin,end,all_size,sel_size,meanCor\n1,1030,1030,1,1,-1\n2,1100,1140,5,3,0.912346\n"
                  "3,0,1190,3,3,5e-05\n");
}

TEST(BlockInfoFile, NoBlockLeavesTheHeaderAlone) {
  scratch_dir dir;
  written w = write_info(dir.path + "/", 0, block_tables{}, site_list{});
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(read_file(dir / "blockInfoChr7.csv"), "blocknr,begin,end,all_size,sel_size,meanCor\n");
}

TEST(BlockInfoFile, OpenAndWriteFailuresAreReported) {
  scratch_dir dir;
  const std::string missing = dir / "missing/blockInfoChr7.csv";
  written w = write_info(dir / "missing/", 3, sample_blocks(), sample_sites());
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.out, " Block info output file " + missing + " is not open\n");

  if (!file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string full = dir / "blockInfoChr7.csv";
  ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
  w = write_info(dir.path + "/", 3, sample_blocks(), sample_sites());
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.out, " Block info output file is " + full + "\n Block info output file " + full + " could not be written\n");
}

}  // namespace
}  // namespace cpg::test
