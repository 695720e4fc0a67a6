#include "driver/run.h"

#include <string_view>
#include <vector>

#include "blocks/grow_blocks.h"
#include "correlation/block_matrix.h"
#include "input/cpg_streams.h"
#include "input/sample_ids.h"
#include "input/site_list.h"
#include "output/block_data.h"
#include "output/block_info.h"
#include "platform/platform.h"
#include "platform/workers.h"
#include "tables/tables.h"
#include "text/lenient.h"
#include "text/number_format.h"

namespace cpg {

run_params convert_arguments(const char* const* argv) {
  run_params p;
  p.coverage_root = argv[1];
  p.sample_id_file = argv[2];
  p.use_site_selection = argv[3];
  p.site_selection_prefix = argv[4];
  p.output_root = argv[5];
  p.min_mean_block_cor = lenient_double(argv[6]);
  p.min_new_block_cor = lenient_double(argv[7]);
  p.min_n_new_block_cor = lenient_int(argv[8]);
  p.chromosome = lenient_int(argv[9]);
  return p;
}

void print_usage(console& out) {
  say(out,
      "usage: cpgblocks coverage_root sample_id_file use_site_selection site_selection_prefix output_root\n"
      "                 min_mean_block_cor min_new_block_cor min_n_new_block_cor chromosome\n"
      "\n"
      "Cuts one chromosome's CpG sites into blocks of neighbouring sites whose methylation values\n"
      "correlate across the samples, and writes every sample's mean per block and a table of blocks.\n"
      "\n"
      "  1 coverage_root          prefix of the CpG data files: <coverage_root>chr<chromosome>/<sample>.csv\n"
      "  2 sample_id_file         file with one sample ID per line, no header\n"
      "  3 use_site_selection     yes: take the sites from the site selection file; anything else: all sites\n"
      "                           of the first sample's CpG data file\n"
      "  4 site_selection_prefix  prefix of the site selection file: <prefix><chromosome>.csv\n"
      "  5 output_root            prefix of the outputs: <output_root>chr<chromosome>/<sample>.csv and\n"
      "                           <output_root>blockInfoChr<chromosome>.csv (the directories must exist)\n"
      "  6 min_mean_block_cor     a block grows while its mean pairwise correlation stays above this\n"
      "  7 min_new_block_cor      a new site whose mean correlation with the block is below this is weak\n"
      "  8 min_n_new_block_cor    a block stops growing after more than this many weak new sites in a row\n"
      "  9 chromosome             chromosome number, used in every file name\n"
      "\n"
      "example: cpgblocks cov/ samples.txt yes sel/chrom out/ 0.5 0.3 2 7\n"
      "environment: CPGBLOCKS_THREADS (worker threads, default every core), PRINTF_EXPONENT_DIGITS\n");
}

namespace {

void print_clock(console& out, const char* what) {
  clock_time t = local_clock();
  say(out, what), say_int(out, t.hour), say(out, ":"), say_int(out, t.minute), say(out, ":"), say_int(out, t.second);
  say(out, "\n");
}

void print_echo(const run_params& p, console& out) {
  say(out, "\n");
  say(out, " The chromosome being processed is "), say_int(out, p.chromosome), say(out, "\n");
  say(out, " Threshold for average inter block correlation (min_mean_block_cor) is ");
  say_general(out, p.min_mean_block_cor), say(out, "\n");
  say(out, " Threshold for correlation of new site vs sites already in block (min_new_block_cor) is ");
  say_general(out, p.min_new_block_cor), say(out, "\n");
  say(out, " Stop expanding block if # new sites have low correlation with sites already in block "
           "(min_n_new_block_cor) is ");
  say_int(out, p.min_n_new_block_cor), say(out, "\n");
  say(out, "\n");
  say(out, " Will a file to select sites be used (if not all sites will be used): ");
  say(out, p.use_site_selection), say(out, "\n");
  say(out, " Root directory for coverage files is "), say(out, p.coverage_root), say(out, "\n");
  say(out, " File with sample IDs is "), say(out, p.sample_id_file), say(out, "\n");
  say(out, "\n");
}

bool site_list_step(const run_params& p, const std::vector<std::string>& sample_names, site_list& sites,
                    std::int32_t& site_count, std::string& current_file_name, console& out) {
  std::string chr = std::to_string(p.chromosome);
  if (p.use_site_selection == "yes") {
    current_file_name = p.site_selection_prefix + chr + ".csv";
    if (!read_select_sites(current_file_name, sites, site_count, out)) return false;
    say(out, " The name of the site selection file is "), say(out, current_file_name), say(out, "\n");
    say(out, "    ...number of sites in this file is "), say_int(out, site_count), say(out, "\n");
  } else {
    const std::string first = sample_names.empty() ? std::string() : sample_names[0];
    current_file_name = p.coverage_root + "chr" + chr + "/" + first + ".csv";
    if (!read_first_covfil(current_file_name, sites, site_count, out)) return false;
    say(out, " No selection of sites\n");
    say(out, "    ...number of sites according to coverage files is "), say_int(out, site_count), say(out, "\n");
  }
  say(out, " \n");
  return true;
}

// The pass runs on the calling thread; reading ahead, writing the block
// data and long blocks' correlations each have a pool of their own, so that
// all three can overlap with it.
struct run_pools {
  workers read, write, cor;
};

// Everything from the sample step to the finish line.
int run_steps(const run_params& p, console& out, run_pools& pools) {
  const int exp_digits = out.exponent_digits;
  run_tables tables;
  reserve_tables(tables);
  std::int32_t sample_count = 0, site_count = 0, block_count = 0;
  std::string current_file_name = p.sample_id_file;

  if (!read_sample(current_file_name, tables.sample_names, sample_count, out)) return 1;
  say(out, " The number of samples in "), say(out, current_file_name), say(out, " is "), say_int(out, sample_count);
  say(out, "\n \n");

  if (!site_list_step(p, tables.sample_names, tables.sites, site_count, current_file_name, out)) return 1;

  cpg_streams streams;
  if (!open_cpg_data_streams(streams, p.coverage_root, p.chromosome, tables.sample_names, sample_count,
                             current_file_name, out))
    return 1;
  block_data_files files;
  // Whatever way this step ends, the pools' work on the streams and files
  // is over before they go.
  struct finish_background {
    run_pools& p;
    ~finish_background() {
      for (workers* w : {&p.read, &p.write, &p.cor}) finish_each_index(*w);
    }
  } background{pools};
  if (!open_block_data_files(files, p.output_root, p.chromosome, tables.sample_names, sample_count,
                             current_file_name, exp_digits, out))
    return 1;

  files.pool = &pools.write;
  block_matrix cpg_data_matrix;
  shape_matrix(cpg_data_matrix, max_block_size, sample_count);
  std::vector<double> block_sum, next_values;

  pass_settings settings{p.min_mean_block_cor, p.min_new_block_cor, p.min_n_new_block_cor};
  pass_inputs in;
  in.site_count = site_count;
  in.sample_count = sample_count;
  in.select_sites = &tables.sites.select_sites;
  in.path = cor_path::fast;
  in.kernel = best_cor_kernel();
  in.pool = &pools.cor;
  in.read_pool = &pools.read;
  if (!grow_blocks(settings, in, streams, files, block_sum, next_values, cpg_data_matrix, tables.blocks, block_count,
                   out))
    return 1;

  flush_block_data(files);
  for (std::int32_t k = 0; k < sample_count; ++k) {
    close_cpg_stream(streams, k);
    if (!close_block_data_file(files, k, out)) return 1;
  }
  if (!write_block_info(p.output_root, p.chromosome, block_count, tables.blocks, tables.sites, current_file_name,
                        exp_digits, out))
    return 1;
  say(out, " \n");
  print_clock(out, " Finish at ");
  return 0;
}

}  // namespace

int run_cpgblocks(int argc, const char* const* argv, console& out) {
  if (argc < 10) {
    std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--version") {
      say(out, "cpgblocks " CPGBLOCKS_VERSION "\n");
      return 0;
    }
    print_usage(out);
    return first == "--help" || first == "-h" ? 0 : 1;
  }
  raise_open_file_limit();
  run_params p = convert_arguments(argv);
  print_echo(p, out);
  print_clock(out, " Start at ");
  say(out, " \n");
  say(out, " The chromosome being processed is "), say_int(out, p.chromosome), say(out, "\n");
  say(out, " \n");

  run_pools pools;
  const int threads = thread_count_from_env();
  for (workers* w : {&pools.read, &pools.write, &pools.cor}) start_workers(*w, threads);
  int status = run_steps(p, out, pools);
  for (workers* w : {&pools.read, &pools.write, &pools.cor}) stop_workers(*w);
  return status;
}

}  // namespace cpg
