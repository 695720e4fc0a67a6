// The block pass on small exact inputs with known blocks, and the fast
// correlation path held to the straightforward one byte for byte: block data
// texts, block tables and the mean_cor lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "blocks/grow_blocks.h"
#include "output/block_info.h"
#include "test_support.h"

namespace cpg {
namespace {

struct pass_case {
  const char* name;
  std::int32_t n;                          // samples
  std::vector<std::vector<double>> sites;  // site-major: sites[i][k] is sample k's value at site i
  std::vector<std::int32_t> select;        // empty: every site selected
  pass_settings settings;
  std::vector<std::string> info;  // expected block info lines, header left out
  const char* console = nullptr;  // expected mean_cor lines, when given
};

struct pass_run {
  bool ok = false;
  std::int32_t block_count = -1;
  block_tables blocks;
  std::vector<std::string> data;  // block data text per sample
  std::string info, console;
};

std::int32_t coord_of(std::size_t site) { return static_cast<std::int32_t>(100 * (site + 1)); }

std::vector<std::int32_t> selection(const pass_case& c) {
  return c.select.empty() ? std::vector<std::int32_t>(c.sites.size(), 1) : c.select;
}

std::string number_text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::vector<std::string> sample_texts(const pass_case& c) {
  std::vector<std::string> texts(static_cast<std::size_t>(c.n), "coord,value\n");
  for (std::size_t i = 0; i < c.sites.size(); ++i)
    for (std::size_t k = 0; k < texts.size(); ++k)
      texts[k] += std::to_string(coord_of(i)) + "," + number_text(c.sites[i][k]) + "\n";
  return texts;
}

pass_run run_pass(const pass_case& c, cor_path path, cor_kernel kernel = cor_kernel::scalar, workers* pool = nullptr) {
  pass_run r;
  const std::vector<std::int32_t> select = selection(c);
  cpg_streams streams;
  open_memory_streams(streams, sample_texts(c));
  r.data.assign(static_cast<std::size_t>(c.n), std::string());
  block_data_files files;
  open_memory_block_data_files(files, r.data, 3);
  block_matrix matrix;
  shape_matrix(matrix, max_block_size, c.n);
  std::vector<double> block_sum, next_values;
  console out;
  out.capture = &r.console;
  pass_inputs in;
  in.site_count = static_cast<std::int32_t>(c.sites.size());
  in.sample_count = c.n;
  in.select_sites = &select;
  in.path = path;
  in.kernel = kernel;
  in.pool = pool;
  r.ok = grow_blocks(c.settings, in, streams, files, block_sum, next_values, matrix, r.blocks, r.block_count, out);
  flush_block_data(files);
  for (std::int32_t k = 0; k < c.n; ++k) close_block_data_file(files, k, out);
  flush_console(out);
  site_list sl;
  for (std::size_t i = 0; i < c.sites.size(); ++i) sl.coord.push_back(coord_of(i));
  sl.select_sites = select;
  block_info_text(r.block_count, r.blocks, sl, 3, r.info);
  return r;
}

std::vector<cor_kernel> supported_kernels() {
  std::vector<cor_kernel> ks;
  for (cor_kernel k : {cor_kernel::scalar, cor_kernel::avx2, cor_kernel::avx512})
    if (cor_kernel_supported(k)) ks.push_back(k);
  return ks;
}

// Every fast layout (kernel, with or without a pool) against the straightforward run.
void expect_fast_paths_match(const pass_case& c, const pass_run& want, workers& pool, const std::string& what) {
  for (cor_kernel k : supported_kernels())
    for (workers* p : {static_cast<workers*>(nullptr), &pool}) {
      pass_run got = run_pass(c, cor_path::fast, k, p);
      std::string where = what + " / " + cor_kernel_name(k) + (p ? " pooled" : "");
      EXPECT_EQ(got.ok, want.ok) << where;
      EXPECT_EQ(got.block_count, want.block_count) << where;
      EXPECT_EQ(got.info, want.info) << where;
      EXPECT_EQ(got.data, want.data) << where;
      EXPECT_EQ(got.console, want.console) << where;
    }
}

// Each block's data line must be the mean over its selected sites, added in
// site order; a one-site block's is the site's own value.
void expect_data_matches_tables(const pass_case& c, const pass_run& r) {
  const std::vector<std::int32_t> select = selection(c);
  for (std::int32_t k = 0; k < c.n; ++k) {
    std::istringstream lines(r.data[static_cast<std::size_t>(k)]);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "coord,coverage") << c.name;
    for (std::int32_t b = 0; b < r.block_count; ++b) {
      ASSERT_TRUE(std::getline(lines, line)) << c.name << " sample " << k << " block " << b + 1;
      std::size_t i0 = static_cast<std::size_t>(r.blocks.block_start_i_cpg[static_cast<std::size_t>(b)]);
      std::size_t i1 = static_cast<std::size_t>(r.blocks.block_end_i_cpg[static_cast<std::size_t>(b)]);
      double sum = 0.0;
      int sites = 0;
      for (std::size_t i = i0; i <= i1; ++i)
        if (select[i] != 0) sum = sum + c.sites[i][static_cast<std::size_t>(k)], ++sites;
      double value = std::strtod(line.c_str() + line.find(',') + 1, nullptr);
      EXPECT_EQ(line.substr(0, line.find(',')), std::to_string(b + 1)) << c.name;
      // The file keeps 16 significant digits.
      char mean[40];
      std::snprintf(mean, sizeof mean, "%.15e", sum / sites);
      EXPECT_EQ(value, std::strtod(mean, nullptr)) << c.name << " sample " << k << " block " << b + 1 << ": " << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << c.name << " extra line " << line;
  }
}

// Four samples; correlations among these are exact: cor(P, P) = 1,
// cor(P, Q) = -1, and P, R, S are pairwise 0, as is K with anything.
const std::vector<double> P{0, 0, 1, 1}, Q{1, 1, 0, 0}, R{0, 1, 0, 1}, S{0, 1, 1, 0}, K{0, 0, 0, 0};
constexpr double third = 1.0 / 3.0;

std::vector<pass_case> exact_cases() {
  const double below_third = std::nextafter(third, 0.0);
  const double tiny = std::numeric_limits<double>::denorm_min();
  return {
      {"every first pair below the threshold: one-site blocks", 4, {P, R, S}, {}, {0.5, 0.5, 0},
       {"1,100,100,1,1,-1", "2,200,200,1,1,-1", "3,300,300,1,1,-1"}, ""},
      {"first pair exactly at min_mean: that first site is in no block", 4, {K, P, P, P, R}, {}, {0.0, 0.5, 0},
       {"1,200,400,3,3,1"}, "mean_cor:2 1\nmean_cor:3 0\n"},
      {"look-ahead bringing running_cor exactly to the threshold is refused", 4, {P, P, R}, {}, {third, -1, 0},
       {"1,100,200,2,2,1", "2,300,300,1,1,-1"}, "mean_cor:2 0\n"},
      {"one ulp lower the same look-ahead is taken in", 4, {P, P, R}, {}, {below_third, -1, 0},
       {"1,100,300,3,3,0.333333"}, "mean_cor:2 0\nmean_cor:3 0\n"},
      {"new_site_cor exactly at min_new is not low", 4, {P, P, R, P}, {}, {0.1, 0.0, 0}, {"1,100,400,4,4,0.5"},
       "mean_cor:2 0\nmean_cor:3 0.666667\nmean_cor:4 0\n"},
      {"new_site_cor below min_new with min_n 0 closes at once", 4, {P, P, R, P}, {}, {0.1, tiny, 0},
       {"1,100,200,2,2,1", "2,300,300,1,1,-1", "3,400,400,1,1,-1"}, "mean_cor:2 0\n"},
      {"min_n 2: two low sites taken in, the third closes", 4, {P, P, P, P, K, K, K, P}, {}, {0.1, 0.5, 2},
       {"1,100,600,6,6,0.4", "2,700,700,1,1,-1", "3,800,800,1,1,-1"}, nullptr},
      {"min_n 2: a site at min_new or above resets the run", 4, {P, P, P, P, K, K, P, K, K, P}, {}, {0.1, 0.5, 2},
       {"1,100,1000,10,10,0.333333"}, nullptr},
      {"negative min_n: no block grows", 4, {P, P, R, R}, {}, {0.5, 0.5, -1},
       {"1,200,200,1,1,-1", "2,400,400,1,1,-1"}, ""},
      {"unselected sites before, inside and after a block", 4, {Q, P, P, Q, P, Q, Q, R, Q},
       {0, 1, 1, 0, 1, 0, 0, 1, 0}, {0.5, 0.5, 0}, {"1,200,500,4,3,1", "2,800,800,1,1,-1"},
       "mean_cor:2 1\nmean_cor:3 0\n"},
      {"a selection flag other than 1 selects", 4, {P, P, P}, {7, -1, 1}, {0.5, 0.5, 0}, {"1,100,300,3,3,1"},
       nullptr},
      {"block still growing when the sites run out", 4, {P, P, P}, {}, {0.5, 0.5, 0}, {"1,100,300,3,3,1"},
       "mean_cor:2 1\nmean_cor:3 0\n"},
      {"one sample: every site is a one-site block", 1, {{1}, {2}, {3}, {4}}, {}, {0.5, 0.5, 0},
       {"1,100,100,1,1,-1", "2,200,200,1,1,-1", "3,300,300,1,1,-1", "4,400,400,1,1,-1"}, ""},
      {"no site selected: no block", 4, {P, P, P}, {0, 0, 0}, {0.5, 0.5, 0}, {}, ""},
      {"no site at all", 4, {}, {}, {0.5, 0.5, 0}, {}, ""},
      {"negative min_mean: a one-site block is recorded once", 4, {P, Q, P, Q}, {}, {-0.5, 0.5, 0},
       {"1,100,100,1,1,-1", "2,200,200,1,1,-1", "3,300,300,1,1,-1", "4,400,400,1,1,-1"}, ""},
      {"negative min_mean: a block without a growth step is its first site alone", 4, {P, P, R}, {},
       {-0.5, 0.5, -1}, {"1,100,100,1,1,-1", "2,200,200,1,1,-1", "3,300,300,1,1,-1"}, ""},
      {"negative min_mean: a grown block keeps its sites", 4, {P, P, P, Q}, {}, {-0.5, -2, 0},
       {"1,100,400,4,4,0"}, "mean_cor:2 1\nmean_cor:3 -1\nmean_cor:4 0\n"},
  };
}

void expect_case(const pass_case& c, workers& pool) {
  pass_run r = run_pass(c, cor_path::straightforward);
  ASSERT_TRUE(r.ok) << c.name;
  std::string info = "blocknr,begin,end,all_size,sel_size,meanCor\n";
  for (const auto& line : c.info) info += line + "\n";
  EXPECT_EQ(r.info, info) << c.name;
  EXPECT_EQ(r.block_count, static_cast<std::int32_t>(c.info.size())) << c.name;
  if (c.console) {
    EXPECT_EQ(r.console, c.console) << c.name;
  }
  expect_data_matches_tables(c, r);
  expect_fast_paths_match(c, r, pool, c.name);
}

TEST(GrowBlocks, ExactCases) {
  workers pool;
  start_workers(pool, 3);
  for (const pass_case& c : exact_cases()) expect_case(c, pool);
  stop_workers(pool);
}

// With no sample every correlation is 0: each selected site is a one-site
// block with no data line. Crashes today: the read-ahead takes the smallest
// failing site over zero samples (std::min_element of an empty vector).
TEST(GrowBlocks, ZeroSamplesWithASelection) {
  workers pool;
  start_workers(pool, 2);
  expect_case({"zero samples with a selection", 0, {{}, {}, {}}, {1, 0, 1}, {0.5, 0.5, 0},
               {"1,100,100,1,1,-1", "2,300,300,1,1,-1"}, ""},
              pool);
  stop_workers(pool);
}

// Sites in runs that share a latent profile plus noise, so that blocks of
// every length form, with constant sites and unselected sites mixed in.
pass_case random_case(std::mt19937_64& rng) {
  static const std::int32_t ns[] = {1, 2, 3, 4, 6, 9, 17};
  static const double means[] = {-0.3, 0.0, 0.2, 0.5, 0.8};
  static const double news[] = {-1.0, 0.0, 0.3, 0.6};
  pass_case c{"random", ns[rng() % 7], {}, {}, {means[rng() % 5], news[rng() % 4], static_cast<std::int32_t>(rng() % 5) - 1},
              {}, nullptr};
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const std::size_t site_count = rng() % 80;
  const double noise = u(rng) * 0.6, unselected = u(rng) * 0.4;
  std::vector<double> latent(static_cast<std::size_t>(c.n));
  std::size_t run_left = 0;
  for (std::size_t i = 0; i < site_count; ++i) {
    if (run_left == 0) {
      for (auto& v : latent) v = u(rng);
      run_left = 1 + rng() % 12;
    }
    --run_left;
    std::vector<double> site(static_cast<std::size_t>(c.n));
    const bool constant = u(rng) < 0.05;
    for (std::size_t k = 0; k < site.size(); ++k)
      site[k] = constant ? 0.5 : std::round((latent[k] + noise * u(rng)) * 1e4) / 1e4;
    c.sites.push_back(site);
    c.select.push_back(u(rng) < unselected ? 0 : 1);
  }
  return c;
}

TEST(GrowBlocks, FastPathMatchesStraightforwardOnRandomInputs) {
  workers pool;
  start_workers(pool, 2);
  std::mt19937_64 rng(4242);
  for (int t = 0; t < 150; ++t) {
    pass_case c = random_case(rng);
    pass_run want = run_pass(c, cor_path::straightforward);
    ASSERT_TRUE(want.ok);
    expect_data_matches_tables(c, want);
    expect_fast_paths_match(c, want, pool, "case " + std::to_string(t));
    if (HasFailure()) break;
  }
  stop_workers(pool);
}

TEST(GrowBlocks, FilesGiveWhatMemoryGives) {
  std::mt19937_64 rng(99);
  for (int t = 0; t < 6; ++t) {
    pass_case c = random_case(rng);
    if (c.sites.empty()) continue;
    test::scratch_dir dir;
    test::make_dir(dir / "cov/chr3");
    test::make_dir(dir / "out/chr3");
    std::vector<std::string> texts = sample_texts(c), names;
    for (std::size_t k = 0; k < texts.size(); ++k) {
      names.push_back(std::string("s").append(std::to_string(k)));
      test::write_file(dir / ("cov/chr3/" + names.back() + ".csv"), texts[k]);
    }
    std::string current, opening;
    console open_out;
    open_out.capture = &opening;
    cpg_streams streams;
    ASSERT_TRUE(open_cpg_data_streams(streams, dir / "cov/", 3, names, c.n, current, open_out));
    block_data_files files;
    ASSERT_TRUE(open_block_data_files(files, dir / "out/", 3, names, c.n, current, 3, open_out));
    block_matrix matrix;
    shape_matrix(matrix, max_block_size, c.n);
    std::vector<double> block_sum, next_values;
    const std::vector<std::int32_t> select = selection(c);
    pass_inputs in;
    in.site_count = static_cast<std::int32_t>(c.sites.size());
    in.sample_count = c.n;
    in.select_sites = &select;
    in.path = cor_path::fast;
    in.kernel = best_cor_kernel();
    pass_run got;
    console out;
    out.capture = &got.console;
    ASSERT_TRUE(grow_blocks(c.settings, in, streams, files, block_sum, next_values, matrix, got.blocks,
                            got.block_count, out));
    flush_block_data(files);
    for (std::int32_t k = 0; k < c.n; ++k) {
      close_cpg_stream(streams, k);
      ASSERT_TRUE(close_block_data_file(files, k, out));
    }
    flush_console(out);
    pass_run want = run_pass(c, cor_path::straightforward);
    EXPECT_EQ(got.console, want.console) << t;
    EXPECT_EQ(got.block_count, want.block_count) << t;
    for (std::size_t k = 0; k < names.size(); ++k)
      EXPECT_EQ(test::read_file(dir / ("out/chr3/" + names[k] + ".csv")), want.data[k]) << t << " sample " << k;
  }
}

// 1,500 samples: from 169 rows on a growth step is large enough for the fast
// path to share the rows among the workers.
TEST(GrowBlocks, LongBlockOnManySamplesMatchesWithWorkers) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const std::int32_t n = 1500;
  pass_case c{"long block", n, {}, {}, {0.5, 0.3, 2}, {}, nullptr};
  std::vector<double> latent(static_cast<std::size_t>(n));
  for (auto& v : latent) v = u(rng);
  for (int i = 0; i < 190; ++i) {
    std::vector<double> site(static_cast<std::size_t>(n));
    for (std::size_t k = 0; k < site.size(); ++k) site[k] = std::round((latent[k] + 0.05 * u(rng)) * 1e4) / 1e4;
    c.sites.push_back(site);
  }
  pass_run want = run_pass(c, cor_path::straightforward);
  ASSERT_TRUE(want.ok);
  ASSERT_EQ(want.block_count, 1);
  EXPECT_EQ(want.blocks.block_size_select[0], 190);
  workers pool;
  start_workers(pool, 3);
  pass_run got = run_pass(c, cor_path::fast, best_cor_kernel(), &pool);
  stop_workers(pool);
  EXPECT_EQ(got.info, want.info);
  EXPECT_EQ(got.data, want.data);
  EXPECT_EQ(got.console, want.console);
}

// Longer than the matrix's named row count: the rows grow with the block.
TEST(GrowBlocks, BlockOverTenThousandSites) {
  pass_case c{"long", 2, std::vector<std::vector<double>>(10050, {0.0, 2.0}), {}, {0.5, 0.5, 0}, {}, nullptr};
  for (cor_path path : {cor_path::straightforward, cor_path::fast}) {
    pass_run r = run_pass(c, path, best_cor_kernel());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.block_count, 1);
    EXPECT_EQ(r.blocks.block_start_i_cpg[0], 0);
    EXPECT_EQ(r.blocks.block_end_i_cpg[0], 10049);
    EXPECT_EQ(r.blocks.block_size_select[0], 10050);
    EXPECT_EQ(r.data[0], "coord,coverage\n1,0.000000000000000e+000\n");
    EXPECT_EQ(r.data[1], "coord,coverage\n1,2.000000000000000e+000\n");
  }
}

}  // namespace
}  // namespace cpg
