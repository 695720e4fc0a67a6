// Whole runs of the built program on inputs a user's pipelines really
// produce: files that end oddly, files that change under the run, more
// samples than the default open-file limit allows, site lists and lines far
// larger than usual, and values no number parser agrees on. The data sets
// are generated here rather than committed: some run to hundreds of MB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "test_support.h"

namespace cpg::test {
namespace {

namespace fs = std::filesystem;

// Every run below uses chromosome 12 and paths relative to its data
// directory, so that standard output does not depend on where that is.
std::vector<std::string> args_with(const std::string& mean, const std::string& new_cor, const std::string& n_new) {
  return {"cov/", "samples.txt", "yes", "sel/chrom", "out/", mean, new_cor, n_new, "12"};
}
const std::vector<std::string> usual_args = args_with("0.5", "0.70", "3");
// Thresholds under which every site is a block of its own,
// whatever its correlations (NaN included): a negative mean threshold
// records a block that took no growth step, and a negative run limit
// allows none. Each block data line is then one site's value.
const std::vector<std::string> one_site_blocks = args_with("-2", "0.5", "-1");

std::string cov(const std::string& root, int k) { return root + "/cov/chr12/S" + std::to_string(k + 1) + ".csv"; }

void make_layout(const std::string& root) {
  make_dir(root + "/cov/chr12");
  make_dir(root + "/sel");
  make_dir(root + "/out/chr12");
}

void append_int(std::string& s, long long v) {
  char buf[24];
  s.append(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
}

// Samples S1..Sn, every site selected, coordinates 1000 + 10 i; value(k, i)
// appends the text of field 2 of sample k at site i.
template <class Value>
void write_data_set(const std::string& root, int samples, int sites, Value value) {
  make_layout(root);
  std::string text;
  for (int k = 0; k < samples; ++k) text += "S" + std::to_string(k + 1) + "\n";
  write_file(root + "/samples.txt", text);
  text = "coord,selected\n";
  text.reserve(static_cast<std::size_t>(sites) * 12 + 16);
  for (int i = 0; i < sites; ++i) append_int(text, 1000 + 10LL * i), text += ",1\n";
  write_file(root + "/sel/chrom12.csv", text);
  for (int k = 0; k < samples; ++k) {
    text = "coord,value\n";
    for (int i = 0; i < sites; ++i) {
      append_int(text, 1000 + 10LL * i);
      text += ',';
      value(text, k, i);
      text += '\n';
    }
    write_file(cov(root, k), text);
  }
}

// The 15-digit form of the block data files, three exponent digits.
std::string sci15(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15e", x);
  std::string s = buf;
  std::size_t e = s.find('e');
  if (e != std::string::npos && s.size() - e - 2 < 3) s.insert(e + 2, "0");
  return s;
}

std::map<std::string, std::string> files_under(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = read_file(e.path().string());
  return files;
}

std::size_t count_lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The line of a file with the given 0-based number.
std::string line_at(const std::string& text, std::size_t n) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < n && at != std::string::npos; ++i) {
    at = text.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  if (at == std::string::npos || at >= text.size()) return "<none>";
  return text.substr(at, text.find('\n', at) - at);
}

// ---- the program as a child that the test can watch and disturb ----

struct child {
  scratch_dir io;  // its standard output and standard error
  pid_t pid = -1;
};

struct child_end {
  bool exited = false;
  int status = -1;  // exit status, or the signal number when !exited
  std::string out, err;
};

// soft_nofile >= 0: the soft open-file limit of the child, its hard limit unchanged.
void start_child(child& c, const std::vector<std::string>& args, const std::string& cwd, long soft_nofile = -1) {
  const std::string out_path = c.io / "stdout", err_path = c.io / "stderr";
  std::vector<char*> argv{const_cast<char*>(CPGBLOCKS_BINARY)};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  rlimit lim{};
  getrlimit(RLIMIT_NOFILE, &lim);
  if (soft_nofile >= 0) lim.rlim_cur = static_cast<rlim_t>(soft_nofile);
  c.pid = fork();
  if (c.pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    if (soft_nofile >= 0 && setrlimit(RLIMIT_NOFILE, &lim) != 0) _exit(126);
    if (chdir(cwd.c_str()) != 0) _exit(127);
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    execv(CPGBLOCKS_BINARY, argv.data());
    _exit(127);
  }
  ASSERT_GT(c.pid, 0);
}

bool child_running(const child& c) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(c.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

child_end wait_child(child& c) {
  int st = 0;
  while (waitpid(c.pid, &st, 0) < 0 && errno == EINTR) {
  }
  child_end e;
  e.exited = WIFEXITED(st);
  e.status = e.exited ? WEXITSTATUS(st) : WTERMSIG(st);
  e.out = read_file(c.io / "stdout");
  e.err = read_file(c.io / "stderr");
  return e;
}

child_end run_child(const std::vector<std::string>& args, const std::string& cwd, long soft_nofile = -1) {
  child c;
  start_child(c, args, cwd, soft_nofile);
  return wait_child(c);
}

// The read position of the child's descriptor on path (as the system
// resolves it), or -1 while it has none (not yet opened, or already closed).
long long read_position(pid_t pid, const std::string& path) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fds, ec)) {
    std::error_code ec2;
    if (fs::read_symlink(e.path(), ec2).string() != path) continue;
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/fdinfo/" + e.path().filename().string()).c_str(), "r");
    if (f == nullptr) return -1;
    long long pos = -1;
    if (std::fscanf(f, "pos: %lld", &pos) != 1) pos = -1;
    std::fclose(f);
    return pos;
  }
  return -1;
}

// ---- the three-sample data set of the driver's tests ----


void strip_final_lf(const std::string& path) {
  std::string t = read_file(path);
  t.pop_back();
  write_file(path, t);
}

void append(const std::string& path, const std::string& more) { write_file(path, read_file(path) + more); }

struct whole_run {
  int status = -1;
  std::string out, err;
  std::map<std::string, std::string> files;  // under out/
};

whole_run run_small_set(const std::string& root) {
  run_result r = run_binary(usual_args, root);
  return {r.status, mask_clock(r.out), r.err, files_under(root + "/out")};
}

// A file that goes on past the site list, or whose last line has no line
// feed, reads as the well-formed one: the look-ahead past the last site
// sees 0.0 in every sample, not the extra line (whose values would show in
// the last mean_cor line), and the last line counts without its line feed.
TEST(Faults, LongerFilesAndMissingFinalLineFeedGiveTheWellFormedRun) {
  scratch_dir well;
  write_run_files(well.path, 12);
  const whole_run want = run_small_set(well.path);
  ASSERT_EQ(want.status, 0) << want.out;
  ASSERT_EQ(want.files.at("chr12/S1.csv"),
            "coord,coverage\n1,5.000000000000000e-001\n2,7.500000000000000e-001\n3,2.500000000000000e-001\n");

  struct variant {
    const char* name;
    std::function<void(const std::string& root)> change;
  };
  const variant variants[] = {
      {"one file with two extra site lines", [](const std::string& d) { append(cov(d, 1), "500,0.9\n600,0.1\n"); }},
      {"every file with an extra line, unlike values",
       [](const std::string& d) {
         append(cov(d, 0), "500,0.9\n"), append(cov(d, 1), "500,0.1\n"), append(cov(d, 2), "500,0.3\n");
       }},
      {"extra lines that are not site lines", [](const std::string& d) { append(cov(d, 2), "\n\nsummary,0.99,x\n"); }},
      {"last file without final line feed", [](const std::string& d) { strip_final_lf(cov(d, 2)); }},
      {"every file without final line feed",
       [](const std::string& d) { strip_final_lf(cov(d, 0)), strip_final_lf(cov(d, 1)), strip_final_lf(cov(d, 2)); }},
      {"longer and without final line feed", [](const std::string& d) { append(cov(d, 0), "500,0.9\n600,0.2"); }},
      {"the selection file without final line feed",
       [](const std::string& d) { strip_final_lf(d + "/sel/chrom12.csv"); }},
  };
  for (const variant& v : variants) {
    scratch_dir dir;
    write_run_files(dir.path, 12);
    v.change(dir.path);
    const whole_run got = run_small_set(dir.path);
    EXPECT_EQ(got.status, 0) << v.name;
    EXPECT_EQ(got.err, "") << v.name;
    EXPECT_EQ(got.out, want.out) << v.name;
    EXPECT_EQ(got.files, want.files) << v.name;
  }
}

// Lines of several MB: a header to pass over, a long third field after the
// value, a long selection file header. The line reader must neither split
// them nor lose the lines after them.
TEST(Faults, LinesOfSeveralMegabytesAreReadWhole) {
  scratch_dir well;
  write_run_files(well.path, 12);
  const whole_run want = run_small_set(well.path);
  ASSERT_EQ(want.status, 0);

  const std::string huge(5u << 20, 'x');
  scratch_dir dir;
  write_run_files(dir.path, 12);
  write_file(cov(dir.path, 1), "coord," + huge + "\n100,0.25\n200,0.5\n300,0.75\n350,0.1\n400,0.75\n");
  write_file(cov(dir.path, 0), "coord,value\n100,0.5\n200,0.75," + huge + "\n300,0.25\n350,0.9," + huge +
                                   ",0.1\n400,0.25\n");
  write_file(dir.path + "/sel/chrom12.csv", "coord,sel," + huge + "\n100,1\n200,1\n300,1\n350,0\n400,1\n");
  const whole_run got = run_small_set(dir.path);
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(got.out, want.out);
  EXPECT_EQ(got.files, want.files);
}

// Texts no two parsers read alike. Field 2 is read as a sign, digits, a
// fraction and an exponent and nothing else: no blanks but leading ones, no
// hexadecimal, no inf or nan words; what overflows is an infinity, what
// underflows a zero of its sign. One site per block shows each value as
// the block data file holds it.
TEST(Faults, OddValuesAreConvertedLenientlyIntoTheBlockData) {
  struct value_case {
    const char* text;
    const char* written;
  };
  const value_case cases[] = {
      {"1e400", "inf"},
      {"-1e400", "-inf"},
      {"1e-400", "0.000000000000000e+000"},
      {"-1e-400", "-0.000000000000000e+000"},
      {"NA", "0.000000000000000e+000"},
      {"", "0.000000000000000e+000"},
      {"methylated", "0.000000000000000e+000"},
      {" 0.5", "5.000000000000000e-001"},
      {"\t 0.5", "5.000000000000000e-001"},
      {"+0.5", "5.000000000000000e-001"},
      {"0.5 ", "5.000000000000000e-001"},
      {"0x10", "0.000000000000000e+000"},
      {"inf", "0.000000000000000e+000"},
      {"-inf", "0.000000000000000e+000"},
      {"nan", "0.000000000000000e+000"},
      {"NaN", "0.000000000000000e+000"},
      {"1e", "1.000000000000000e+000"},
      {"2.5e+", "2.500000000000000e+000"},
      {"1.5.3", "1.500000000000000e+000"},
      {"- 1", "0.000000000000000e+000"},
      {".5", "5.000000000000000e-001"},
      {"1,5", "1.000000000000000e+000"},  // a third field after 1
      {"1e308", "1.000000000000000e+308"},
      {"4.9e-324", "4.940656458412465e-324"},
  };
  const int n = static_cast<int>(std::size(cases));
  scratch_dir dir;
  write_data_set(dir.path, 1, n, [&](std::string& s, int, int i) { s += cases[i].text; });
  run_result r = run_binary(one_site_blocks, dir.path);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.err, "");
  const std::string data = read_file(dir / "out/chr12/S1.csv");
  const std::string info = read_file(dir / "out/blockInfoChr12.csv");
  ASSERT_EQ(count_lines(data), static_cast<std::size_t>(n) + 1) << data;
  ASSERT_EQ(count_lines(info), static_cast<std::size_t>(n) + 1) << info;
  for (int i = 0; i < n; ++i) {
    const std::string coord = std::to_string(1000 + 10 * i), number = std::to_string(i + 1);
    EXPECT_EQ(line_at(data, static_cast<std::size_t>(i) + 1), number + "," + cases[i].written)
        << "'" << cases[i].text << "'";
    EXPECT_EQ(line_at(info, static_cast<std::size_t>(i) + 1), number + "," + coord + "," + coord + ",1,1,-1")
        << "'" << cases[i].text << "'";
  }
}

// A site list past 3,000,000 sites (the named capacity of the site tables
// and of the block tables): one sample, so that every site is a block of its
// own and the block tables grow as far as the site list.
TEST(Faults, SiteListOfMoreThanThreeMillionSites) {
  const int sites = 3000100;
  // Texts of exactly three decimals: 0.005 to 0.995.
  auto value_text = [](int i) {
    return std::string{'0', '.', static_cast<char>('0' + i % 10), static_cast<char>('0' + i / 10 % 10), '5'};
  };
  auto value = [&](std::string& s, int, int i) { s += value_text(i); };
  scratch_dir dir;
  write_data_set(dir.path, 1, sites, value);
  run_result r = run_binary(usual_args, dir.path);
  ASSERT_EQ(r.status, 0) << r.out.substr(0, 2000);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find(" The name of the site selection file is sel/chrom12.csv\n"
                       "    ...number of sites in this file is 3000100\n"),
            std::string::npos);
  EXPECT_NE(mask_clock(r.out).find(" Block info output file is out/blockInfoChr12.csv\n \n Finish at H:M:S\n"),
            std::string::npos);

  const std::string data = read_file(dir / "out/chr12/S1.csv");
  const std::string info = read_file(dir / "out/blockInfoChr12.csv");
  EXPECT_EQ(count_lines(data), static_cast<std::size_t>(sites) + 1);
  EXPECT_EQ(count_lines(info), static_cast<std::size_t>(sites) + 1);
  // The lines at both ends and across the named capacity, by a walk through both files.
  std::size_t data_at = data.find('\n') + 1, info_at = info.find('\n') + 1;
  for (int i = 0; i < sites && data_at < data.size() && info_at < info.size(); ++i) {
    std::size_t data_end = data.find('\n', data_at), info_end = info.find('\n', info_at);
    if (i < 3 || (i >= 2999990 && i < 3000010) || i >= sites - 3) {
      const std::string coord = std::to_string(1000 + 10LL * i), number = std::to_string(i + 1);
      EXPECT_EQ(data.substr(data_at, data_end - data_at), number + "," + sci15(std::strtod(value_text(i).c_str(), nullptr))) << i;
      EXPECT_EQ(info.substr(info_at, info_end - info_at), number + "," + coord + "," + coord + ",1,1,-1") << i;
    }
    data_at = data_end + 1;
    info_at = info_end + 1;
  }
}

// ---- many samples ----

// Sample k's value at site i: a sample level that dominates a small
// per-site wobble, so that all sites form one block whose mean per sample
// is the sum of its values in site order over the site count.
std::string level_text(int k, int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0.%02d%d", k % 97, (k * 7 + i * 3) % 10);
  return buf;
}

void run_many_samples(int samples, int sites, long soft_nofile) {
  rlimit lim{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &lim), 0);
  const rlim_t needed = static_cast<rlim_t>(2 * samples + 100);
  if (lim.rlim_max != RLIM_INFINITY && lim.rlim_max < needed)
    GTEST_SKIP() << "the hard open-file limit " << lim.rlim_max << " is below the " << needed << " that "
                 << samples << " samples need; the program cannot raise its soft limit that far";
  scratch_dir dir;
  write_data_set(dir.path, samples, sites, [](std::string& s, int k, int i) { s += level_text(k, i); });
  child_end e = run_child(usual_args, dir.path, soft_nofile);
  ASSERT_TRUE(e.exited) << "signal " << e.status;
  ASSERT_EQ(e.status, 0) << e.out.substr(e.out.size() > 2000 ? e.out.size() - 2000 : 0);
  EXPECT_EQ(e.err, "");
  EXPECT_NE(e.out.find(" The number of samples in samples.txt is " + std::to_string(samples) + "\n"),
            std::string::npos);
  EXPECT_NE(e.out.find(" Final block data output file opened out/chr12/S" + std::to_string(samples) + ".csv\n"),
            std::string::npos);
  const std::string last = std::to_string(1000 + 10 * (sites - 1));
  const std::string size = std::to_string(sites);
  EXPECT_EQ(read_file(dir / "out/blockInfoChr12.csv").rfind("blocknr,begin,end,all_size,sel_size,meanCor\n1,1000," +
                                                                last + "," + size + "," + size + ",",
                                                            0),
            0u);
  int wrong = 0;
  for (int k = 0; k < samples && wrong < 5; ++k) {
    double sum = 0.0;
    for (int i = 0; i < sites; ++i) sum = i == 0 ? std::strtod(level_text(k, i).c_str(), nullptr)
                                                 : sum + std::strtod(level_text(k, i).c_str(), nullptr);
    const std::string want = "coord,coverage\n1," + sci15(sum / sites) + "\n";
    const std::string got = read_file(dir / ("out/chr12/S" + std::to_string(k + 1) + ".csv"));
    if (got != want) ++wrong;
    EXPECT_EQ(got, want) << "sample " << k;
  }
}

// The program raises its soft open-file limit itself: 1,500 samples hold
// 3,000 files open at once under a soft limit of 1,024.
TEST(Faults, FifteenHundredSamplesUnderASoftLimitOf1024) { run_many_samples(1500, 20, 1024); }

// More samples than the named capacity of the sample table.
TEST(Faults, MoreThanFifteenHundredSamples) { run_many_samples(1600, 10, 1024); }

// ---- files that change while the run reads them ----

// 50 samples x 200,000 sites of unrelated values: a run long enough to be
// caught while it reads, and input read in many buffers' worth.
constexpr int busy_samples = 50, busy_sites = 200000;
void write_busy_value(std::string& s, int k, int i) {
  std::uint64_t h = (static_cast<std::uint64_t>(k) * 1000003u + static_cast<std::uint64_t>(i)) * 0x9E3779B97F4A7C15u;
  s += "0.";
  append_int(s, static_cast<long long>(100 + (h >> 40) % 900));
}

// Waits until the child reads path (its descriptor on it moved on from the
// start of the file), then lets change have it; false when the run ended first.
template <class Change>
bool disturb_while_reading(child& c, const std::string& path, Change change) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (child_running(c) && std::chrono::steady_clock::now() < give_up) {
    if (read_position(c.pid, path) > 0) {
      change();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

// A short file met after thousands of blocks, when block data lines are
// being written in the background: the run must wait for that writing
// before its files go, and fail with the short-file message.
TEST(Faults, ShortFileAfterManyBlocksIsACleanFailure) {
  const int samples = 100, sites = 2700, short_lines = 2650;  // 265,000 block values before the failure
  scratch_dir dir;
  write_data_set(dir.path, samples, sites, write_busy_value);
  std::string text = read_file(cov(dir.path, samples - 1));
  std::size_t at = 0;
  for (int i = 0; i <= short_lines; ++i) at = text.find('\n', at) + 1;
  write_file(cov(dir.path, samples - 1), text.substr(0, at));
  child_end e = run_child(usual_args, dir.path);
  ASSERT_TRUE(e.exited) << "signal " << e.status;
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.err, "");
  const std::string message = " CpG data file number 99 named cov/chr12/S100.csv  has 2650 site lines, fewer than "
                              "the 2700 sites of the site list \n";
  ASSERT_GE(e.out.size(), message.size());
  EXPECT_EQ(e.out.substr(e.out.size() - message.size()), message);
  EXPECT_TRUE(file_exists(dir / "out/chr12/S100.csv"));
  EXPECT_FALSE(file_exists(dir / "out/blockInfoChr12.csv"));
}

TEST(Faults, FileDeletedWhileReadIsACompleteRunOrACleanFailure) {
  scratch_dir dir;
  write_data_set(dir.path, busy_samples, busy_sites, write_busy_value);
  const std::string target = fs::canonical(cov(dir.path, 24)).string();
  child c;
  start_child(c, usual_args, dir.path);
  const bool during = disturb_while_reading(c, target, [&] { ASSERT_EQ(unlink(target.c_str()), 0); });
  child_end e = wait_child(c);
  ASSERT_TRUE(e.exited) << "signal " << e.status;
  EXPECT_EQ(e.err, "");
  // An open file lives on until it is closed: the run reads it to its end.
  if (during) {
    EXPECT_EQ(e.status, 0) << e.out.substr(e.out.size() > 2000 ? e.out.size() - 2000 : 0);
  } else {
    EXPECT_TRUE(e.status == 0 || e.status == 1);
  }
  if (e.status == 0) {
    EXPECT_NE(mask_clock(e.out).find("\n Finish at H:M:S\n"), std::string::npos);
    EXPECT_TRUE(file_exists(dir / "out/blockInfoChr12.csv"));
  }
  if (!during) std::printf("[   NOTE   ] the run ended before the file could be deleted\n");
}

TEST(Faults, FileTruncatedWhileReadIsACleanFailureWithTheShortFileMessage) {
  scratch_dir dir;
  write_data_set(dir.path, busy_samples, busy_sites, write_busy_value);
  const std::string target = fs::canonical(cov(dir.path, 24)).string();
  const off_t half = static_cast<off_t>(fs::file_size(target) / 2);
  child c;
  start_child(c, usual_args, dir.path);
  long long position = -1;
  const bool during = disturb_while_reading(c, target, [&] {
    position = read_position(c.pid, target);
    ASSERT_EQ(truncate(target.c_str(), half), 0);
  });
  child_end e = wait_child(c);
  ASSERT_TRUE(e.exited) << "signal " << e.status;
  EXPECT_EQ(e.err, "");
  ASSERT_TRUE(e.status == 0 || e.status == 1) << e.status;
  // Cut before the reader got to the half, the file has fewer lines than the list.
  if (during && position >= 0 && position < half) {
    EXPECT_EQ(e.status, 1);
  }
  if (e.status == 1) {
    const std::string head = " CpG data file number 24 named cov/chr12/S25.csv  has ",
                      tail = " site lines, fewer than the 200000 sites of the site list \n";
    const std::size_t at = e.out.rfind(head);
    ASSERT_NE(at, std::string::npos) << e.out.substr(e.out.size() > 2000 ? e.out.size() - 2000 : 0);
    const std::string count = e.out.substr(at + head.size(), e.out.size() - at - head.size() - tail.size());
    ASSERT_GE(e.out.size(), at + head.size() + tail.size());
    EXPECT_EQ(e.out.substr(e.out.size() - tail.size()), tail);
    ASSERT_FALSE(count.empty());
    ASSERT_EQ(count.find_first_not_of("0123456789"), std::string::npos) << count;
    const long lines = std::stol(count);
    EXPECT_GT(lines, 0);
    EXPECT_LT(lines, busy_sites);
    EXPECT_EQ(e.out.find(" Finish at "), std::string::npos);
    // The run stops in the pass: the block data files exist, the block info file was never begun.
    EXPECT_TRUE(file_exists(dir / "out/chr12/S1.csv"));
    EXPECT_TRUE(file_exists(dir / ("out/chr12/S" + std::to_string(busy_samples) + ".csv")));
    EXPECT_FALSE(file_exists(dir / "out/blockInfoChr12.csv"));
  }
  if (!during) std::printf("[   NOTE   ] the run ended before the file could be truncated\n");
}

}  // namespace
}  // namespace cpg::test
