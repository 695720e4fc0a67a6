#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "input/cpg_streams.h"
#include "platform/workers.h"
#include "test_support.h"

namespace cpg::test {
namespace {

// What one pass over the site list saw: the values of every selected site,
// then those of the reads past the end of the list, and the console text.
struct walk_result {
  bool ok = true;
  std::int32_t failed_site = -1;  // site index of the call that returned false
  std::vector<std::vector<double>> values;
  std::string out;
};

// Walks the sites as the block pass does: a read for a selected site, a skip
// for the others, then reads_past_end reads beyond the last site.
walk_result walk(cpg_streams& s, const std::vector<std::int32_t>& select, workers* pool, int reads_past_end = 2) {
  walk_result w;
  console out;
  out.capture = &w.out;
  std::int32_t site_count = static_cast<std::int32_t>(select.size());
  plan_reads(s, select.data(), site_count, pool);
  std::vector<double> values(static_cast<std::size_t>(s.sample_count));
  for (std::int32_t i = 0; i < site_count + reads_past_end; ++i) {
    bool read = i >= site_count || select[static_cast<std::size_t>(i)] != 0;
    std::fill(values.begin(), values.end(), -99.0);
    bool ok = read ? read_site_values(s, values.data(), out) : skip_site_line(s, out);
    if (!ok) {
      w.ok = false;
      w.failed_site = i;
      break;
    }
    if (read) w.values.push_back(values);
  }
  flush_console(out);
  return w;
}

std::string data_path(const std::string& root, const std::string& id) { return root + "chr7/" + id + ".csv"; }

// Writes the files of the given samples under root and opens them as the driver does.
bool open_files(cpg_streams& s, const std::string& root, const std::vector<std::string>& ids,
                const std::vector<std::string>& texts, std::string& current, std::string& out_text) {
  make_dir(root + "chr7");
  for (std::size_t k = 0; k < texts.size(); ++k) write_file(data_path(root, ids[k]), texts[k]);
  console out;
  out.capture = &out_text;
  bool ok = open_cpg_data_streams(s, root, 7, ids, static_cast<std::int32_t>(ids.size()), current, out);
  flush_console(out);
  return ok;
}

TEST(CpgStreams, FieldTwoIsReadLeniently) {
  struct value_case {
    std::string file;
    double value;
  };
  const std::vector<value_case> cases = {
      {"h\n100,0.75\n", 0.75},
      {"h\n100,0.75,12\n", 0.75},
      {"h\r\n100,0.75\r\n", 0.75},
      {"h\n100, 0.5\n", 0.5},
      {"h\n100,-0.25\n", -0.25},
      {"h\n100,.5\n", 0.5},
      {"h\n100,2.5e-3\n", 2.5e-3},
      {"h\n100,1E2\n", 100.0},
      {"h\n100,5e\n", 5.0},
      {"h\n100,0.1x\n", 0.1},
      {"h\n123,\n", 0.0},
      {"h\n100,high\n", 0.0},
      {"h\n123\n", 123.0},
      {"h\n\n", 0.0},
      {"h\n100,0.75", 0.75},
      {"7,0.9\n100,0.25\n", 0.25},  // a header that looks like a site is still a header
  };
  for (const value_case& c : cases) {
    cpg_streams s;
    open_memory_streams(s, {c.file});
    walk_result w = walk(s, {1}, nullptr, 0);
    ASSERT_TRUE(w.ok) << c.file;
    ASSERT_EQ(w.values.size(), 1u);
    EXPECT_EQ(w.values[0][0], c.value) << c.file;
  }
}

TEST(CpgStreams, OpeningNamesTheFailingFileOrTheLastOne) {
  const std::vector<std::string> ids = {"S1", "S2", "S3"};
  const std::string ok_text = "coord,val\n100,0.5\n";
  struct open_case {
    const char* name;
    int third;  // 0: a file, 1: missing, 2: a directory
    const char* ending;
  };
  const std::vector<open_case> cases = {
      {"all present", 0, nullptr}, {"third missing", 1, "  is not open \n"}, {"third a directory", 2, "  could not be read \n"}};
  for (const open_case& c : cases) {
    scratch_dir dir;
    const std::string root = dir.path + "/";
    std::vector<std::string> texts = {ok_text, ok_text};
    if (c.third == 0) texts.push_back(ok_text);
    if (c.third == 2) make_dir(data_path(root, "S3"));
    cpg_streams s;
    std::string current = "before", out;
    bool ok = open_files(s, root, ids, texts, current, out);
    const std::string third = data_path(root, "S3");
    EXPECT_EQ(current, third) << c.name;
    if (c.ending == nullptr) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(out, " Final methylation data file read is " + third + "\n \n");
    } else {
      EXPECT_FALSE(ok) << c.name;
      EXPECT_EQ(out, " CpG data file number 2 named " + third + c.ending) << c.name;
    }
  }
}

TEST(CpgStreams, ZeroSamplesOpenNothing) {
  cpg_streams s;
  std::string current = "sel/chrom7.csv", out;
  scratch_dir dir;
  EXPECT_TRUE(open_files(s, dir.path + "/", {}, {}, current, out));
  EXPECT_EQ(current, "sel/chrom7.csv");
  EXPECT_EQ(out, " Final methylation data file read is sel/chrom7.csv\n \n");
}

// Zero samples with a non-empty site list: every skip and read succeeds and touches nothing.
TEST(CpgStreams, ZeroSamplesWalkTheSiteListReadingNothing) {
  cpg_streams s;
  open_memory_streams(s, {});
  walk_result w = walk(s, {1, 0, 1}, nullptr);
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(w.out, "");
  EXPECT_EQ(w.values.size(), 4u);
}

TEST(CpgStreams, ReadsPastTheEndGiveZeroWhateverTheFilesHoldBeyond) {
  scratch_dir dir;
  const std::string root = dir.path + "/";
  const std::vector<std::string> ids = {"wellformed", "extra", "nofinallf", "crlf"};
  const std::vector<std::string> texts = {
      "h\n1,0.1\n2,0.2\n",
      "h\n1,0.3\n2,0.4\n3,0.9\n4,0.8\n",
      "h\n1,0.5\n2,0.6",
      "h\r\n1,0.7\r\n2,0.8\r\n",
  };
  cpg_streams s;
  std::string current, out;
  ASSERT_TRUE(open_files(s, root, ids, texts, current, out));
  walk_result w = walk(s, {1, 1}, nullptr, 3);
  ASSERT_TRUE(w.ok) << w.out;
  EXPECT_EQ(w.out, "");
  const std::vector<std::vector<double>> expected = {
      {0.1, 0.3, 0.5, 0.7}, {0.2, 0.4, 0.6, 0.8}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
  EXPECT_EQ(w.values, expected);
  for (std::int32_t k = 0; k < 4; ++k) close_cpg_stream(s, k);
}

TEST(CpgStreams, ShortFileIsReportedWhenThePassReachesTheMissingSite) {
  const std::string full = "h\n1,0.1\n2,0.2\n3,0.3\n4,0.4\n";
  struct short_case {
    const char* name;
    std::vector<std::string> texts;
    std::vector<std::int32_t> select;
    std::int32_t failed_site, sample, lines;
  };
  const std::vector<short_case> cases = {
      {"reached by a read", {full, "h\n1,0.1\n2,0.2\n", full}, {1, 1, 1, 1}, 2, 1, 2},
      {"reached by a skip", {full, "h\n1,0.1\n2,0.2\n", full}, {1, 1, 0, 1}, 2, 1, 2},
      {"lowest sample at that site", {"h\n1,0.1\n2,0.2\n3,0.3\n", full, "h\n1,0.1\n2,0.2\n", "h\n1,0.1\n2,0.2\n"},
       {1, 1, 1, 1}, 2, 2, 2},
      {"earliest site before lowest sample", {"h\n1,0.1\n2,0.2\n", full, "h\n1,0.1\n"}, {1, 0, 1, 1}, 1, 2, 1},
      {"header only", {full, "h\n"}, {0, 1, 1, 1}, 0, 1, 0},
      {"last line without LF", {full, "h\n1,0.1"}, {1, 1, 1, 1}, 1, 1, 1},
  };
  for (const short_case& c : cases) {
    scratch_dir dir;
    const std::string root = dir.path + "/";
    std::vector<std::string> ids;
    for (std::size_t k = 0; k < c.texts.size(); ++k) ids.push_back(std::string("S").append(std::to_string(k)));
    cpg_streams s;
    std::string current, out;
    ASSERT_TRUE(open_files(s, root, ids, c.texts, current, out)) << c.name;
    walk_result w = walk(s, c.select, nullptr);
    EXPECT_FALSE(w.ok) << c.name;
    EXPECT_EQ(w.failed_site, c.failed_site) << c.name;
    EXPECT_EQ(w.out, " CpG data file number " + std::to_string(c.sample) + " named " +
                         data_path(root, ids[static_cast<std::size_t>(c.sample)]) + "  has " +
                         std::to_string(c.lines) + " site lines, fewer than the 4 sites of the site list \n")
        << c.name;
    // The sites before the failure were read in full, with every sample's value.
    std::size_t selected_before = 0;
    for (std::int32_t i = 0; i < c.failed_site; ++i) selected_before += c.select[static_cast<std::size_t>(i)] != 0;
    ASSERT_EQ(w.values.size(), selected_before) << c.name;
    for (const auto& site : w.values)
      for (double v : site) EXPECT_NE(v, -99.0) << c.name;
  }
}

// Enough sites for many batches: a dense stretch where every site is read,
// then a sparse one where most are skipped; more samples than one worker item.
struct big_data {
  static constexpr std::int32_t samples = 11, sites = 30000;
  std::vector<std::string> ids, texts;
  std::vector<std::int32_t> select;
  std::vector<std::vector<double>> expected;  // selected sites, then the two reads past the end

  explicit big_data(const std::vector<std::int32_t>& lines_of_sample = {}) {
    for (std::int32_t i = 0; i < sites; ++i) select.push_back(i < 5000 || (i % 50 == 0 && i != 20000) || i == 20001 ? 1 : 0);
    texts.assign(samples, "coord,value\n");
    for (std::int32_t k = 0; k < samples; ++k) ids.push_back(std::string("S").append(std::to_string(k)));
    for (std::int32_t i = 0; i < sites; ++i) {
      std::vector<double> row;
      for (std::int32_t k = 0; k < samples; ++k) {
        char field[32];
        std::snprintf(field, sizeof field, "%d.%03de-1", (i + k) % 7 - 3, (i * 31 + k * 17) % 1000);
        std::string& t = texts[static_cast<std::size_t>(k)];
        bool cut = static_cast<std::size_t>(k) < lines_of_sample.size() && i >= lines_of_sample[static_cast<std::size_t>(k)];
        if (!cut) t += std::to_string(1000 + i) + "," + field + (k % 2 ? ",9\n" : "\n");
        row.push_back(std::strtod(field, nullptr));
      }
      if (select[static_cast<std::size_t>(i)] != 0) expected.push_back(row);
    }
    expected.push_back(std::vector<double>(samples, 0.0));
    expected.push_back(std::vector<double>(samples, 0.0));
  }
};

walk_result walk_big(const big_data& d, int threads) {
  scratch_dir dir;
  cpg_streams s;
  std::string current, out;
  EXPECT_TRUE(open_files(s, dir.path + "/", d.ids, d.texts, current, out));
  std::unique_ptr<workers> pool;
  if (threads > 0) {
    pool = std::make_unique<workers>();
    start_workers(*pool, threads);
  }
  walk_result w = walk(s, d.select, pool.get());
  if (pool) stop_workers(*pool);
  for (std::int32_t k = 0; k < s.sample_count; ++k) close_cpg_stream(s, k);
  return w;
}

TEST(CpgStreams, ManyBatchesGiveTheSameValuesWithAndWithoutWorkers) {
  const big_data d;
  walk_result alone = walk_big(d, 0);
  ASSERT_TRUE(alone.ok) << alone.out;
  EXPECT_EQ(alone.out, "");
  ASSERT_EQ(alone.values.size(), d.expected.size());
  EXPECT_TRUE(alone.values == d.expected);
  for (int threads : {1, 2, 4}) {
    walk_result w = walk_big(d, threads);
    EXPECT_TRUE(w.ok) << threads;
    EXPECT_EQ(w.out, "") << threads;
    EXPECT_TRUE(w.values == alone.values) << threads;
  }
}

TEST(CpgStreams, ShortFileFarIntoTheListIsReportedAlikeWithAndWithoutWorkers) {
  // Samples 9 and 4 end before site 20000 (skipped), sample 10 before site 20001.
  std::vector<std::int32_t> lines(big_data::samples, big_data::sites);
  lines[9] = lines[4] = 20000;
  lines[10] = 20001;
  const big_data d(lines);
  ASSERT_EQ(d.select[20000], 0);
  ASSERT_EQ(d.select[20001], 1);
  for (int threads : {0, 1, 2, 4}) {
    walk_result w = walk_big(d, threads);
    EXPECT_FALSE(w.ok) << threads;
    EXPECT_EQ(w.failed_site, 20000) << threads;
    const std::string head = " CpG data file number 4 named ";
    const std::string tail = "/chr7/S4.csv  has 20000 site lines, fewer than the 30000 sites of the site list \n";
    EXPECT_EQ(w.out.rfind(head, 0), 0u) << w.out;
    ASSERT_GE(w.out.size(), tail.size());
    EXPECT_EQ(w.out.substr(w.out.size() - tail.size()), tail);
    EXPECT_EQ(std::count(w.out.begin(), w.out.end(), '\n'), 1) << w.out;
    std::size_t selected_before = 0;
    for (std::int32_t i = 0; i < 20000; ++i) selected_before += d.select[static_cast<std::size_t>(i)] != 0;
    ASSERT_EQ(w.values.size(), selected_before) << threads;
    EXPECT_TRUE(std::equal(w.values.begin(), w.values.end(), d.expected.begin())) << threads;
  }
}

}  // namespace
}  // namespace cpg::test
