#include <gtest/gtest.h>

#include "input/site_list.h"
#include "test_support.h"

namespace cpg::test {
namespace {

struct site_case {
  const char* name;
  std::string text;
  std::vector<std::int32_t> coord, flag;  // flags as the selection file gives them
};

// The first coverage file reads the same lines but selects every site.
const std::vector<site_case>& site_cases() {
  static const std::vector<site_case> cases = {
      {"final LF", "coord,sel\n100,1\n200,0\n300,1\n", {100, 200, 300}, {1, 0, 1}},
      {"no final LF", "coord,sel\n100,1\n200,0\n300,1", {100, 200, 300}, {1, 0, 1}},
      {"CRLF", "coord,sel\r\n100,1\r\n200,0\r\n", {100, 200}, {1, 0}},
      {"no comma: the coordinate is the flag too", "h\n300\n", {300}, {300}},
      {"nothing after the comma", "h\n300,\n", {300}, {0}},
      {"third field ignored", "h\n300,1,x\n", {300}, {1}},
      {"blank after the comma", "h\n300, 1\n", {300}, {1}},
      {"word fields", "h\nabc,yes\n", {0}, {0}},
      {"empty line in the middle", "h\n100,1\n\n300,1\n", {100, 0, 300}, {1, 0, 1}},
      {"header that looks like a site", "5,1\n100,1\n", {100}, {1}},
      {"header only with LF", "coord,sel\n", {}, {}},
      {"header only without LF", "coord,sel", {}, {}},
      {"empty file", "", {}, {}},
  };
  return cases;
}

TEST(SiteList, SelectionFileGivesCoordinateAndFlagPerLine) {
  scratch_dir dir;
  for (const site_case& c : site_cases()) {
    std::string path = dir / "sel7.csv";
    write_file(path, c.text);
    std::string text;
    console out;
    out.capture = &text;
    site_list sites;
    sites.coord = {9, 9};
    sites.select_sites = {9, 9};
    std::int32_t count = -1;
    EXPECT_TRUE(read_select_sites(path, sites, count, out)) << c.name;
    flush_console(out);
    EXPECT_EQ(text, "") << c.name;
    EXPECT_EQ(count, static_cast<std::int32_t>(c.coord.size())) << c.name;
    EXPECT_EQ(sites.coord, c.coord) << c.name;
    EXPECT_EQ(sites.select_sites, c.flag) << c.name;
  }
}

TEST(SiteList, FirstCoverageFileSelectsEverySite) {
  scratch_dir dir;
  for (const site_case& c : site_cases()) {
    std::string path = dir / "S1.csv";
    write_file(path, c.text);
    std::string text;
    console out;
    out.capture = &text;
    site_list sites;
    std::int32_t count = -1;
    EXPECT_TRUE(read_first_covfil(path, sites, count, out)) << c.name;
    flush_console(out);
    EXPECT_EQ(text, "") << c.name;
    EXPECT_EQ(count, static_cast<std::int32_t>(c.coord.size())) << c.name;
    EXPECT_EQ(sites.coord, c.coord) << c.name;
    EXPECT_EQ(sites.select_sites, std::vector<std::int32_t>(c.coord.size(), 1)) << c.name;
  }
}

TEST(SiteList, FailuresNameTheFileExactly) {
  scratch_dir dir;
  const std::string absent = dir / "absent.csv";
  struct failure {
    bool selection;
    std::string path, message;
  };
  const std::vector<failure> cases = {
      {true, absent, " File with site selection information  " + absent + "  is not open \n"},
      {false, absent, " First coverage file used to determine the number of CpGs " + absent + "  is not open \n"},
      {true, dir.path, " File with site selection information  " + dir.path + "  could not be read \n"},
      {false, dir.path,
       " First coverage file used to determine the number of CpGs " + dir.path + "  could not be read \n"},
  };
  for (const failure& c : cases) {
    std::string text;
    console out;
    out.capture = &text;
    site_list sites;
    std::int32_t count = 0;
    bool ok = c.selection ? read_select_sites(c.path, sites, count, out) : read_first_covfil(c.path, sites, count, out);
    EXPECT_FALSE(ok) << c.message;
    flush_console(out);
    EXPECT_EQ(text, c.message);
  }
}

}  // namespace
}  // namespace cpg::test
