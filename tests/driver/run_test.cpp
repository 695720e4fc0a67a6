#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <unistd.h>

#include "test_support.h"

namespace cpg::test {
namespace {

std::vector<std::string> run_args(const std::string& root, const std::string& selection, const std::string& chromosome) {
  return {root + "/cov/", root + "/samples.txt", selection, root + "/sel/chrom", root + "/out/",
          "0.5", "0.70", "3", chromosome};
}

// Standard output without the lines of the block pass's growth steps.
std::string without_mean_cor(const std::string& out, int& mean_cor_lines) {
  std::istringstream in(out);
  std::string line, kept;
  mean_cor_lines = 0;
  while (std::getline(in, line)) {
    if (line.rfind("mean_cor:", 0) == 0) ++mean_cor_lines;
    else kept += line + "\n";
  }
  return kept;
}

std::string help_text() { return run_in_process({"--help"}).out; }

TEST(Usage, FewerThanNineArgumentsPrintUsageAndFail) {
  const std::string usage = help_text();
  // One line per argument, in order, and an example command.
  std::size_t at = 0;
  for (const char* arg : {"1 coverage_root", "2 sample_id_file", "3 use_site_selection", "4 site_selection_prefix",
                          "5 output_root", "6 min_mean_block_cor", "7 min_new_block_cor", "8 min_n_new_block_cor",
                          "9 chromosome", "example: cpgblocks "}) {
    std::size_t next = usage.find(arg, at);
    ASSERT_NE(next, std::string::npos) << arg;
    at = next;
  }
  for (int n = 0; n < 9; ++n) {
    std::vector<std::string> args(static_cast<std::size_t>(n), "x");
    run_result r = run_in_process(args);
    EXPECT_EQ(r.status, 1) << n;
    EXPECT_EQ(r.out, usage) << n;
  }
}

TEST(Usage, HelpAndVersionAnswerOnlyShortCommandLines) {
  struct usage_case {
    std::vector<std::string> args;
    int status;
    std::string out;  // empty: a normal run
  };
  const std::string version = "cpgblocks " CPGBLOCKS_VERSION "\n";
  const std::vector<usage_case> cases = {
      {{"--help"}, 0, help_text()},
      {{"-h"}, 0, help_text()},
      {{"--help", "a", "b"}, 0, help_text()},
      {{"x", "--help"}, 1, help_text()},
      {{"--version"}, 0, version},
      {{"--help", "none.txt", "no", "p", "o/", "0.5", "0.5", "1", "1"}, 1, ""},
      {{"--version", "none.txt", "no", "p", "o/", "0.5", "0.5", "1", "1"}, 1, ""},
  };
  for (const usage_case& c : cases) {
    run_result r = run_in_process(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.size();
    if (!c.out.empty()) {
      EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args.size();
    } else {
      EXPECT_EQ(r.out.rfind("\n The chromosome being processed is 1\n", 0), 0u) << r.out;
      EXPECT_NE(r.out.find(" Root directory for coverage files is " + c.args[0] + "\n"), std::string::npos);
      EXPECT_NE(r.out.find(" Sample file none.txt  is not open \n"), std::string::npos) << r.out;
    }
  }
  // As a process: the usage goes to standard output, nothing to standard error.
  run_result r = run_binary({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, help_text());
  EXPECT_EQ(r.err, "");
  r = run_binary({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, version);
}

TEST(Run, CompleteRunEchoesEveryStepAndWritesTheBlocks) {
  scratch_dir dir;
  write_run_files(dir.path, 12);
  run_result r = run_binary({"cov/", "samples.txt", "yes", "sel/chrom", "out/", "0.5", "0.70", "3", "12"}, dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  int mean_cor_lines = 0;
  EXPECT_EQ(without_mean_cor(mask_clock(r.out), mean_cor_lines),
            "\n"
            " The chromosome being processed is 12\n"
            " Threshold for average inter block correlation (min_mean_block_cor) is 0.5\n"
            " Threshold for correlation of new site vs sites already in block (min_new_block_cor) is 0.7\n"
            " Stop expanding block if # new sites have low correlation with sites already in block "
            "(min_n_new_block_cor) is 3\n"
            "\n"
            " Will a file to select sites be used (if not all sites will be used): yes\n"
            " Root directory for coverage files is cov/\n"
            " File with sample IDs is samples.txt\n"
            "\n"
            " Start at H:M:S\n"
            " \n"
            " The chromosome being processed is 12\n"
            " \n"
            " The number of samples in samples.txt is 3\n"
            " \n"
            " The name of the site selection file is sel/chrom12.csv\n"
            "    ...number of sites in this file is 5\n"
            " \n"
            " Final methylation data file read is cov/chr12/S3.csv\n"
            " \n"
            " Final block data output file opened out/chr12/S3.csv\n"
            " \n"
            " Block info output file is out/blockInfoChr12.csv\n"
            " \n"
            " Finish at H:M:S\n");
  EXPECT_GT(mean_cor_lines, 0);
  EXPECT_EQ(read_file(dir / "out/blockInfoChr12.csv"),
            "blocknr,begin,end,all_size,sel_size,meanCor\n"
            "1,100,100,1,1,-1\n"
            "2,200,200,1,1,-1\n"
            "3,300,400,3,2,1\n");
  EXPECT_EQ(read_file(dir / "out/chr12/S1.csv"),
            "coord,coverage\n1,5.000000000000000e-001\n2,7.500000000000000e-001\n3,2.500000000000000e-001\n");
  EXPECT_EQ(read_file(dir / "out/chr12/S2.csv"),
            "coord,coverage\n1,2.500000000000000e-001\n2,5.000000000000000e-001\n3,7.500000000000000e-001\n");
  EXPECT_EQ(read_file(dir / "out/chr12/S3.csv"),
            "coord,coverage\n1,7.500000000000000e-001\n2,2.500000000000000e-001\n3,5.000000000000000e-001\n");

  // Two exponent digits when the environment asks for them.
  r = run_binary({"cov/", "samples.txt", "yes", "sel/chrom", "out/", "0.5", "0.70", "3", "12"}, dir.path,
                 {"PRINTF_EXPONENT_DIGITS=2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(dir / "out/chr12/S1.csv"),
            "coord,coverage\n1,5.000000000000000e-01\n2,7.500000000000000e-01\n3,2.500000000000000e-01\n");
}

TEST(Run, ArgumentsAreConvertedLeniently) {
  struct argument_case {
    const char* name;
    std::string selection, threshold, chromosome;
    int chr;                 // the converted chromosome, in the echo and every file name
    bool selection_mode;
    std::string threshold_echo;
  };
  const std::vector<argument_case> cases = {
      {"threshold abc", "yes", "abc", "12", 12, true, "0"},
      {"chromosome 7b", "yes", "0.5", "7b", 7, true, "0.5"},
      {"chromosome X", "yes", "0.5", "X", 0, true, "0.5"},
      {"Yes is not yes", "Yes", "0.5", "12", 12, false, "0.5"},
      {"yes with a blank", "yes ", "0.5", "12", 12, false, "0.5"},
  };
  for (const argument_case& c : cases) {
    scratch_dir dir;
    write_run_files(dir.path, c.chr);
    std::vector<std::string> args = run_args(dir.path, c.selection, c.chromosome);
    args[5] = c.threshold;
    run_result r = run_in_process(args);
    EXPECT_EQ(r.status, 0) << c.name << "\n" << r.out;
    const std::string chr = std::to_string(c.chr);
    const std::string chr_line = " The chromosome being processed is " + chr + "\n";
    EXPECT_EQ(r.out.rfind("\n" + chr_line, 0), 0u) << c.name;
    EXPECT_NE(mask_clock(r.out).find(" Start at H:M:S\n \n" + chr_line + " \n"), std::string::npos) << c.name;
    EXPECT_NE(r.out.find(" Threshold for average inter block correlation (min_mean_block_cor) is " + c.threshold_echo +
                         "\n"),
              std::string::npos)
        << c.name;
    EXPECT_NE(r.out.find(" Will a file to select sites be used (if not all sites will be used): " + c.selection + "\n"),
              std::string::npos)
        << c.name;
    if (c.selection_mode) {
      EXPECT_NE(r.out.find(" The name of the site selection file is " + dir.path + "/sel/chrom" + chr + ".csv\n"),
                std::string::npos)
          << c.name;
    } else {
      EXPECT_NE(r.out.find(" No selection of sites\n    ...number of sites according to coverage files is 5\n \n"),
                std::string::npos)
          << c.name;
    }
    EXPECT_NE(r.out.find(" Final methylation data file read is " + dir.path + "/cov/chr" + chr + "/S3.csv\n"),
              std::string::npos)
        << c.name;
    EXPECT_NE(r.out.find(" Block info output file is " + dir.path + "/out/blockInfoChr" + chr + ".csv\n"),
              std::string::npos)
        << c.name;
    EXPECT_TRUE(file_exists(dir.path + "/out/chr" + chr + "/S1.csv")) << c.name;
  }
}

TEST(Run, ArgumentsAfterTheNinthChangeNothing) {
  scratch_dir dir;
  write_run_files(dir.path, 12);
  std::vector<std::string> args = run_args(dir.path, "yes", "12");
  run_result nine = run_in_process(args);
  args.push_back("--help");
  args.push_back("extra");
  run_result more = run_in_process(args);
  EXPECT_EQ(nine.status, 0);
  EXPECT_EQ(more.status, 0);
  EXPECT_EQ(mask_clock(more.out), mask_clock(nine.out));
}

// An empty sample file with a non-empty site list: a run over no samples that
// must still walk the sites and finish.
TEST(Run, NoSamplesWithSitesFinish) {
  scratch_dir dir;
  write_run_files(dir.path, 12);
  write_file(dir.path + "/samples.txt", "");
  run_result r = run_binary(run_args(dir.path, "yes", "12"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find(" The number of samples in " + dir.path + "/samples.txt is 0\n"), std::string::npos) << r.out;
  EXPECT_NE(mask_clock(r.out).find(" \n Finish at H:M:S\n"), std::string::npos) << r.out;
}

// Every failure ends the run at once: its message is the last output, status 1, no finish lines.
TEST(Run, FailuresEndTheRunWithTheirMessage) {
  struct failure {
    const char* name;
    std::string selection;
    std::function<void(const std::string&)> setup;
    std::function<std::string(const std::string&)> message;
  };
  auto remove = [](const std::string& path) { std::filesystem::remove_all(path); };
  auto to_full = [](const std::string& path) {
    std::filesystem::remove_all(path);
    ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
  };
  const bool have_full = file_exists("/dev/full");
  std::vector<failure> cases = {
      {"sample file missing", "yes", [&](const std::string& d) { remove(d + "/samples.txt"); },
       [](const std::string& d) { return " Sample file " + d + "/samples.txt  is not open \n"; }},
      {"selection file missing", "yes", [&](const std::string& d) { remove(d + "/sel/chrom12.csv"); },
       [](const std::string& d) {
         return " File with site selection information  " + d + "/sel/chrom12.csv  is not open \n";
       }},
      {"first coverage file missing", "no", [&](const std::string& d) { remove(d + "/cov/chr12/S1.csv"); },
       [](const std::string& d) {
         return " First coverage file used to determine the number of CpGs " + d + "/cov/chr12/S1.csv  is not open \n";
       }},
      {"third CpG data file missing", "yes", [&](const std::string& d) { remove(d + "/cov/chr12/S3.csv"); },
       [](const std::string& d) { return " CpG data file number 2 named " + d + "/cov/chr12/S3.csv  is not open \n"; }},
      {"short CpG data file", "yes",
       [](const std::string& d) { write_file(d + "/cov/chr12/S2.csv", "coord,value\n100,0.1\n200,0.2\n300,0.3\n"); },
       [](const std::string& d) {
         return " CpG data file number 1 named " + d +
                "/cov/chr12/S2.csv  has 3 site lines, fewer than the 5 sites of the site list \n";
       }},
      {"output directory missing", "yes", [&](const std::string& d) { remove(d + "/out/chr12"); },
       [](const std::string& d) {
         return " Block data output file number 0 named " + d + "/out/chr12/S1.csv  is not open \n";
       }},
      {"block info file cannot be opened", "yes", [](const std::string& d) { make_dir(d + "/out/blockInfoChr12.csv"); },
       [](const std::string& d) { return " Block info output file " + d + "/out/blockInfoChr12.csv is not open\n"; }},
  };
  if (have_full) {
    cases.push_back({"block data file cannot be written", "yes",
                     [&](const std::string& d) { to_full(d + "/out/chr12/S2.csv"); },
                     [](const std::string& d) {
                       return " Block data output file number 1 named " + d +
                              "/out/chr12/S2.csv  could not be written \n";
                     }});
    cases.push_back({"block info file cannot be written", "yes",
                     [&](const std::string& d) { to_full(d + "/out/blockInfoChr12.csv"); },
                     [](const std::string& d) {
                       return " Block info output file " + d + "/out/blockInfoChr12.csv could not be written\n";
                     }});
  }
  for (const failure& c : cases) {
    scratch_dir dir;
    write_run_files(dir.path, 12);
    c.setup(dir.path);
    run_result r = run_in_process(run_args(dir.path, c.selection, "12"));
    EXPECT_EQ(r.status, 1) << c.name;
    const std::string message = c.message(dir.path);
    ASSERT_GE(r.out.size(), message.size()) << c.name;
    EXPECT_EQ(r.out.substr(r.out.size() - message.size()), message) << c.name << "\n" << r.out;
    EXPECT_EQ(r.out.find(" Finish at "), std::string::npos) << c.name;
  }
}

}  // namespace
}  // namespace cpg::test
