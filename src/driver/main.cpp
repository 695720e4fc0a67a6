#include "driver/run.h"
#include "text/console.h"
#include "text/number_format.h"

int main(int argc, char** argv) {
  cpg::console out;
  out.exponent_digits = cpg::exponent_digits_from_env();
  int status = cpg::run_cpgblocks(argc, argv, out);
  cpg::flush_console(out);
  return status;
}
