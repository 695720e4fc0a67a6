#include "platform/platform.h"

#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <thread>

namespace cpg {

void raise_open_file_limit() {
  rlimit lim{};
  if (getrlimit(RLIMIT_NOFILE, &lim) != 0) return;
  if (lim.rlim_cur == lim.rlim_max) return;
  lim.rlim_cur = lim.rlim_max;
  setrlimit(RLIMIT_NOFILE, &lim);
}

clock_time local_clock() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return {parts.tm_hour, parts.tm_min, parts.tm_sec};
}

int thread_count_from_env() {
  if (const char* v = std::getenv("CPGBLOCKS_THREADS")) {
    int n = std::atoi(v);
    if (n > 0) return n > 256 ? 256 : n;
  }
  unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : static_cast<int>(hw);
}

}  // namespace cpg
