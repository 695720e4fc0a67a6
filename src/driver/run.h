// The run driver: the command line, the run order, the parameter echo and
// the timing lines. run_cpgblocks is the whole program; main only hands it
// the arguments and standard output.
#pragma once
#include <cstdint>
#include <string>

#include "text/console.h"

namespace cpg {

struct run_params {
  std::string coverage_root, sample_id_file, use_site_selection, site_selection_prefix, output_root;
  double min_mean_block_cor = 0.0, min_new_block_cor = 0.0;
  std::int32_t min_n_new_block_cor = 0, chromosome = 0;
};

// The nine arguments after the program name (argv[1] .. argv[9]).
run_params convert_arguments(const char* const* argv);

void print_usage(console& out);

// Exit status: 0 when the run completes, 1 when it fails (message on out).
int run_cpgblocks(int argc, const char* const* argv, console& out);

}  // namespace cpg
