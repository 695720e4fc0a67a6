// cpgblocks written the plain way, as the yardstick of the whole-program
// benchmark: std::ifstream and std::getline per line per sample, lenient
// conversion of every field, and every growth step's mean correlation by a
// full calc_cor per row (calc_mean_cor). Same arguments, same output files,
// same standard output as cpgblocks on well-formed input (every CpG data file
// holds one line per site and ends with a line feed); it makes no attempt at
// the program's handling of short or unreadable files.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "correlation/block_matrix.h"
#include "correlation/calc_cor.h"
#include "platform/platform.h"
#include "tables/tables.h"
#include "text/console.h"
#include "text/lenient.h"
#include "text/number_format.h"

namespace {

using cpg::console;
using cpg::say;
using cpg::say_general;
using cpg::say_int;

int exp_digits = 3;

std::string sci15(double v) {
  char t[cpg::number_text_max];
  return std::string(t, cpg::format_sci15(t, v, exp_digits));
}

std::string general(double v) {
  char t[cpg::number_text_max];
  return std::string(t, cpg::format_general(t, v, exp_digits));
}

void print_clock(console& out, const char* what) {
  cpg::clock_time t = cpg::local_clock();
  say(out, what), say_int(out, t.hour), say(out, ":"), say_int(out, t.minute), say(out, ":"), say_int(out, t.second);
  say(out, "\n");
}

struct streams {
  std::vector<std::ifstream> in;
  std::string line;
};

void skip_site_line(streams& s) {
  for (auto& f : s.in) std::getline(f, s.line);
}

// A stream past its last line leaves the line empty, which reads as 0.0.
void read_site_values(streams& s, std::vector<double>& values) {
  for (std::size_t k = 0; k < s.in.size(); ++k) {
    if (!std::getline(s.in[k], s.line)) s.line.clear();
    if (!s.line.empty() && s.line.back() == '\r') s.line.pop_back();
    values[k] = cpg::lenient_double(cpg::field2(s.line));
  }
}

struct blocks_found {
  std::vector<std::int32_t> first, last, size;
  std::vector<double> cor;
};

void record_block(blocks_found& b, std::vector<std::ofstream>& data, std::int32_t first, std::int32_t last,
                  double cor, std::int32_t size, const std::vector<double>& values) {
  b.first.push_back(first);
  b.last.push_back(last);
  b.cor.push_back(cor);
  b.size.push_back(size);
  const std::string number = std::to_string(b.first.size());
  for (std::size_t k = 0; k < data.size(); ++k) data[k] << number << ',' << sci15(values[k]) << '\n';
}

// The block pass in its defining form: one walk over the sites, the first
// pair by calc_cor, every later look-ahead by calc_mean_cor over the rows.
void grow_blocks(double min_mean, double min_new, std::int32_t min_n_new, const std::vector<std::int32_t>& select,
                 std::int32_t n, streams& s, std::vector<std::ofstream>& data, blocks_found& b, console& out) {
  const std::int32_t site_count = static_cast<std::int32_t>(select.size());
  cpg::block_matrix matrix;
  cpg::shape_matrix(matrix, cpg::max_block_size, n);
  std::vector<double> block_sum(static_cast<std::size_t>(n)), next_values(static_cast<std::size_t>(n));
  std::vector<double> means(static_cast<std::size_t>(n));
  auto put_row = [&](std::int32_t r, const std::vector<double>& v) {
    double* row = cpg::matrix_row(matrix, r);
    for (std::int32_t k = 0; k < n; ++k) row[k] = v[static_cast<std::size_t>(k)];
  };

  std::int32_t cursor = 0, last_added = 0, previous_n = 0;
  bool have_first = false;
  auto scan = [&] {
    while (cursor < site_count && select[static_cast<std::size_t>(cursor)] == 0) {
      skip_site_line(s);
      ++cursor;
    }
  };

  while (cursor < site_count) {
    std::int32_t block_n = 2, low_run = 0;
    double previous_cor = 0.0;
    bool grew = false, one_site = false;
    scan();
    if (cursor >= site_count) break;
    if (!have_first) {
      read_site_values(s, block_sum);
      have_first = true;
    } else {
      block_sum = next_values;
    }
    const std::int32_t first = cursor;
    ++cursor;
    scan();
    read_site_values(s, next_values);
    double running = cpg::calc_cor(block_sum.data(), next_values.data(), n);
    if (running < min_mean) {
      record_block(b, data, first, first, cpg::missing_code, 1, block_sum);
      one_site = true;
    } else {
      put_row(0, block_sum);
      put_row(1, next_values);
    }
    while (running > min_mean && cursor < site_count && low_run <= min_n_new) {
      for (std::size_t k = 0; k < block_sum.size(); ++k) block_sum[k] = block_sum[k] + next_values[k];
      last_added = cursor;
      ++cursor;
      scan();
      read_site_values(s, next_values);
      double new_cor = cpg::calc_mean_cor(matrix, next_values.data(), block_n, n, out);
      if (new_cor < min_new) ++low_run;
      else low_run = 0;
      std::int64_t pairs = static_cast<std::int64_t>(block_n - 1) * block_n / 2;
      double weight = static_cast<double>(pairs) / static_cast<double>(block_n + pairs);
      previous_cor = running;
      running = (1 - weight) * new_cor + weight * previous_cor;
      put_row(block_n, next_values);
      previous_n = block_n;
      ++block_n;
      grew = true;
    }
    if (previous_cor > min_mean) {
      if (grew) {
        for (std::size_t k = 0; k < means.size(); ++k) means[k] = block_sum[k] / static_cast<double>(block_n - 1);
        record_block(b, data, first, last_added, previous_cor, previous_n, means);
      } else if (!one_site) {
        record_block(b, data, first, first, cpg::missing_code, 1, block_sum);
      }
    }
  }
}

int run(char** argv, console& out) {
  const std::string coverage_root = argv[1], sample_id_file = argv[2], use_selection = argv[3];
  const std::string selection_prefix = argv[4], output_root = argv[5];
  const double min_mean = cpg::lenient_double(argv[6]), min_new = cpg::lenient_double(argv[7]);
  const std::int32_t min_n_new = cpg::lenient_int(argv[8]), chromosome = cpg::lenient_int(argv[9]);
  const std::string chr = std::to_string(chromosome);
  cpg::raise_open_file_limit();

  say(out, "\n");
  say(out, " The chromosome being processed is "), say_int(out, chromosome), say(out, "\n");
  say(out, " Threshold for average inter block correlation (min_mean_block_cor) is ");
  say_general(out, min_mean), say(out, "\n");
  say(out, " Threshold for correlation of new site vs sites already in block (min_new_block_cor) is ");
  say_general(out, min_new), say(out, "\n");
  say(out, " Stop expanding block if # new sites have low correlation with sites already in block "
           "(min_n_new_block_cor) is ");
  say_int(out, min_n_new), say(out, "\n\n");
  say(out, " Will a file to select sites be used (if not all sites will be used): "), say(out, use_selection);
  say(out, "\n Root directory for coverage files is "), say(out, coverage_root);
  say(out, "\n File with sample IDs is "), say(out, sample_id_file), say(out, "\n\n");
  print_clock(out, " Start at ");
  say(out, " \n The chromosome being processed is "), say_int(out, chromosome), say(out, "\n \n");

  std::vector<std::string> names;
  {
    std::ifstream f(sample_id_file);
    if (!f) return say(out, " Sample file " + sample_id_file + "  is not open \n"), 1;
    std::string line;
    while (std::getline(f, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      names.push_back(line);
    }
  }
  const std::int32_t n = static_cast<std::int32_t>(names.size());
  say(out, " The number of samples in " + sample_id_file + " is "), say_int(out, n), say(out, "\n \n");

  std::vector<std::int32_t> coord, select;
  {
    const bool from_selection = use_selection == "yes";
    const std::string path = from_selection ? selection_prefix + chr + ".csv"
                                            : coverage_root + "chr" + chr + "/" + (n > 0 ? names[0] : "") + ".csv";
    std::ifstream f(path);
    if (!f) {
      say(out, from_selection ? " File with site selection information  "
                              : " First coverage file used to determine the number of CpGs ");
      return say(out, path + "  is not open \n"), 1;
    }
    std::string line;
    std::getline(f, line);
    while (std::getline(f, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      coord.push_back(cpg::lenient_int(cpg::field1(line)));
      select.push_back(from_selection ? cpg::lenient_int(cpg::field2(line)) : 1);
    }
    if (from_selection) {
      say(out, " The name of the site selection file is " + path + "\n");
      say(out, "    ...number of sites in this file is ");
    } else {
      say(out, " No selection of sites\n    ...number of sites according to coverage files is ");
    }
    say_int(out, static_cast<long long>(coord.size())), say(out, "\n \n");
  }

  streams s;
  s.in.resize(names.size());
  std::string last_name;
  for (std::size_t k = 0; k < names.size(); ++k) {
    last_name = coverage_root + "chr" + chr + "/" + names[k] + ".csv";
    s.in[k].open(last_name);
    if (!s.in[k]) {
      say(out, " CpG data file number "), say_int(out, static_cast<long long>(k));
      return say(out, " named " + last_name + "  is not open \n"), 1;
    }
    std::getline(s.in[k], s.line);
  }
  say(out, " Final methylation data file read is " + last_name + "\n \n");

  std::vector<std::ofstream> data(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    last_name = output_root + "chr" + chr + "/" + names[k] + ".csv";
    data[k].open(last_name);
    if (!data[k]) {
      say(out, " Block data output file number "), say_int(out, static_cast<long long>(k));
      return say(out, " named " + last_name + "  is not open \n"), 1;
    }
    data[k] << "coord,coverage\n";
  }
  say(out, " Final block data output file opened " + last_name + "\n \n");

  blocks_found b;
  grow_blocks(min_mean, min_new, min_n_new, select, n, s, data, b, out);
  for (std::size_t k = 0; k < names.size(); ++k) {
    s.in[k].close();
    data[k].close();
  }

  const std::string info_name = output_root + "blockInfoChr" + chr + ".csv";
  std::ofstream info(info_name);
  if (!info) return say(out, " Block info output file " + info_name + " is not open\n"), 1;
  say(out, " Block info output file is " + info_name + "\n");
  info << "blocknr,begin,end,all_size,sel_size,meanCor\n";
  for (std::size_t i = 0; i < b.first.size(); ++i) {
    const std::size_t first = static_cast<std::size_t>(b.first[i]), last = static_cast<std::size_t>(b.last[i]);
    info << i + 1 << ',' << coord[first] << ',' << coord[last] << ',' << b.last[i] - b.first[i] + 1 << ','
         << b.size[i] << ',' << general(b.cor[i]) << '\n';
  }
  info.close();
  say(out, " \n");
  print_clock(out, " Finish at ");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  console out;
  exp_digits = out.exponent_digits = cpg::exponent_digits_from_env();
  if (argc < 10) {
    say(out, "usage: plain_cpgblocks coverage_root sample_id_file use_site_selection site_selection_prefix "
             "output_root min_mean_block_cor min_new_block_cor min_n_new_block_cor chromosome\n");
    cpg::flush_console(out);
    return 1;
  }
  int status = run(argv, out);
  cpg::flush_console(out);
  return status;
}
