#include <new>

#include "driver/run.h"
#include "text/console.h"
#include "text/number_format.h"

int main(int argc, char** argv) {
  cpg::console out;
  out.exponent_digits = cpg::exponent_digits_from_env();
  int status;
  try {
    status = cpg::run_cpgblocks(argc, argv, out);
  } catch (const std::bad_alloc&) {
    // Said where every other message goes, rather than dying on standard error.
    cpg::say(out, " Not enough memory for this run \n");
    status = 1;
  }
  cpg::flush_console(out);
  return status;
}
