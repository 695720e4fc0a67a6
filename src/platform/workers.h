// A tiny pool in the manner of kt_for: run fn(i) for i in [0, n) on every
// worker and the calling thread, items taken in turn from a shared counter.
// Each item writes only its own results, so the outcome never depends on the
// thread count or the scheduling. The caller waits for the items, not for
// the workers: a worker the system has not woken in time simply takes none.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace cpg {

struct workers {
  std::vector<std::thread> threads;
  std::mutex lock;
  std::condition_variable wake, finished;
  std::function<void(int)> job;
  int items = 0;
  bool job_open = false;  // begun and not yet finished
  // Job generation in the high half, next item in the low half: a worker
  // late for one job can never take an item of the next.
  std::atomic<std::uint64_t> ticket{0};
  std::atomic<int> done{0};
  std::uint32_t generation = 0;
  bool stopping = false;
};

// thread_count counts the caller too: 1 starts no thread.
void start_workers(workers& w, int thread_count);
void stop_workers(workers& w);
int worker_count(const workers& w);  // threads that take items, the caller included
void for_each_index(workers& w, int n, const std::function<void(int)>& fn);

// The same in two halves, so that the caller can go on with other work
// while the workers take the items: begin hands the items out and returns at
// once; finish takes what is left on the calling thread and waits for the
// rest. One job at a time per pool. Without workers, begin does nothing and
// finish runs every item.
void begin_each_index(workers& w, int n, std::function<void(int)> fn);
void finish_each_index(workers& w);

}  // namespace cpg
