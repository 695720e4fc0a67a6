// A tiny pool in the manner of kt_for: run fn(i) for i in [0, n) on every
// worker and the calling thread, items taken in turn from a shared counter.
// Each item writes only its own results, so the outcome never depends on the
// thread count or the scheduling.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace cpg {

struct workers {
  std::vector<std::thread> threads;
  std::mutex lock;
  std::condition_variable wake, finished;
  const std::function<void(int)>* job = nullptr;
  int items = 0;
  std::atomic<int> next{0};
  int busy = 0;
  unsigned long generation = 0;
  bool stopping = false;
};

// thread_count counts the caller too: 1 starts no thread.
void start_workers(workers& w, int thread_count);
void stop_workers(workers& w);
int worker_count(const workers& w);  // threads that take items, the caller included
void for_each_index(workers& w, int n, const std::function<void(int)>& fn);

}  // namespace cpg
