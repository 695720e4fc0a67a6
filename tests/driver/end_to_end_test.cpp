// Whole runs of the built program: small data sets whose every output file
// and standard output are committed next to their inputs, and a larger
// generated one that must come out the same for any thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace cpg::test {
namespace {

namespace fs = std::filesystem;

// Relative path -> contents of every file under root.
std::map<std::string, std::string> files_under(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = read_file(e.path().string());
  return files;
}

struct fixture_case {
  const char* name;
  std::vector<std::string> args;  // run in a copy of the fixture's input directory
  const char* out_dir;            // made before the run, as the program never makes one
};

TEST(EndToEnd, FixturesGiveTheirCommittedOutputs) {
  const fixture_case cases[] = {
      // Four unselected sites, two of them inside blocks; one constant site.
      {"selection", {"cov/", "samples.txt", "yes", "sel/chrom", "out/", "0.5", "0.3", "1", "7"}, "out/chr7"},
      // Every input with CR LF line ends; sites from the first sample's file.
      {"crlf", {"cov/", "samples.txt", "no", "sel/chrom", "out/", "0.4", "0.2", "0", "2"}, "out/chr2"},
  };
  for (const auto& c : cases) {
    const std::string fixture = std::string(CPGBLOCKS_FIXTURES) + "/" + c.name;
    scratch_dir dir;
    fs::copy(fixture + "/input", dir.path, fs::copy_options::recursive);
    make_dir(dir / c.out_dir);
    run_result r = run_binary(c.args, dir.path);
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.err, "") << c.name;
    EXPECT_EQ(mask_clock(r.out), read_file(fixture + "/expected/stdout.txt")) << c.name;
    const auto want = files_under(fixture + "/expected/out"), got = files_under(dir / "out");
    for (const auto& [path, text] : want) {
      auto it = got.find(path);
      if (it == got.end()) {
        ADD_FAILURE() << c.name << ": no " << path;
        continue;
      }
      EXPECT_EQ(it->second, text) << c.name << ": " << path;
    }
    for (const auto& [path, text] : got) EXPECT_TRUE(want.count(path)) << c.name << ": unexpected " << path;
  }
}

// 320 samples and 2,000 sites, the first 1,000 in one strongly correlated
// block (about 900 selected: long enough for the correlations to be shared
// among threads from about 820 rows on), then short blocks of mixed strength;
// about one site in ten unselected.
void write_large_data_set(const scratch_dir& dir) {
  const int samples = 320, sites = 2000;
  std::mt19937_64 rng(31337);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<std::vector<double>> values(static_cast<std::size_t>(sites), std::vector<double>(samples));
  std::vector<double> latent(samples);
  int run_left = 0;
  double noise = 0.0;
  for (int i = 0; i < sites; ++i) {
    if (i == 0 || (i >= 1000 && run_left == 0)) {
      for (auto& v : latent) v = u(rng);
      run_left = i == 0 ? 1000 : 1 + static_cast<int>(rng() % 10);
      noise = i == 0 ? 0.05 : u(rng);
    }
    --run_left;
    for (int k = 0; k < samples; ++k) values[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] =
        latent[static_cast<std::size_t>(k)] + noise * u(rng);
  }
  std::string sample_ids, selection = "coord,select\n";
  for (int i = 0; i < sites; ++i)
    selection += std::to_string(1000 + 7 * i) + "," + (i > 0 && u(rng) < 0.1 ? "0" : "1") + "\n";
  make_dir(dir / "cov/chr5");
  make_dir(dir / "sel");
  make_dir(dir / "out/chr5");
  write_file(dir / "sel/chrom5.csv", selection);
  char num[32];
  for (int k = 0; k < samples; ++k) {
    std::string name = std::string("S").append(std::to_string(k)), text = "coord,value\n";
    sample_ids += name + "\n";
    for (int i = 0; i < sites; ++i) {
      std::snprintf(num, sizeof num, "%.4f", values[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)]);
      text += std::to_string(1000 + 7 * i) + "," + num + "\n";
    }
    write_file(dir / ("cov/chr5/" + name + ".csv"), text);
  }
  write_file(dir / "samples.txt", sample_ids);
}

TEST(EndToEnd, SameOutputsForEveryThreadCount) {
  scratch_dir dir;
  write_large_data_set(dir);
  const std::vector<std::string> args{"cov/", "samples.txt", "yes", "sel/chrom", "out/", "0.5", "0.3", "2", "5"};
  std::string first_out;
  std::map<std::string, std::string> first_files;
  for (const char* threads : {"1", "2", "3"}) {
    fs::remove_all(dir / "out");
    make_dir(dir / "out/chr5");
    run_result r = run_binary(args, dir.path, {std::string("CPGBLOCKS_THREADS=") + threads});
    ASSERT_EQ(r.status, 0) << threads;
    EXPECT_EQ(r.err, "") << threads;
    std::string out = mask_clock(r.out);
    auto files = files_under(dir / "out");
    if (first_out.empty()) {
      // The long block really grew past the size where rows are shared.
      EXPECT_NE(out.find("\nmean_cor:850 "), std::string::npos);
      EXPECT_EQ(files.size(), 321u);
      first_out = out;
      first_files = files;
      continue;
    }
    EXPECT_EQ(out, first_out) << threads << " threads";
    EXPECT_TRUE(files == first_files) << threads << " threads";
  }
}

}  // namespace
}  // namespace cpg::test
