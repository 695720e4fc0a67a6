// The few calls into the operating system that are not file reading and
// writing: the open-file limit, the local clock, the thread count.
#pragma once

namespace cpg {

// Raise the soft limit on open files to the hard limit (so that 2 x 1,500
// per-sample files fit wherever the system allows). Failure is ignored.
void raise_open_file_limit();

struct clock_time {
  int hour = 0, minute = 0, second = 0;
};
clock_time local_clock();

// CPGBLOCKS_THREADS when set to a positive number, else every core.
int thread_count_from_env();

}  // namespace cpg
