#include "platform/workers.h"

namespace cpg {

namespace {

void take_items(workers& w, const std::function<void(int)>& fn) {
  for (int i = w.next.fetch_add(1); i < w.items; i = w.next.fetch_add(1)) fn(i);
}

void worker_loop(workers& w) {
  unsigned long seen = 0;
  for (;;) {
    const std::function<void(int)>* job;
    {
      std::unique_lock<std::mutex> hold(w.lock);
      w.wake.wait(hold, [&] { return w.stopping || w.generation != seen; });
      if (w.stopping) return;
      seen = w.generation;
      job = w.job;
    }
    take_items(w, *job);
    std::lock_guard<std::mutex> hold(w.lock);
    if (--w.busy == 0) w.finished.notify_one();
  }
}

}  // namespace

void start_workers(workers& w, int thread_count) {
  for (int t = 1; t < thread_count; ++t) w.threads.emplace_back(worker_loop, std::ref(w));
}

void stop_workers(workers& w) {
  {
    std::lock_guard<std::mutex> hold(w.lock);
    w.stopping = true;
  }
  w.wake.notify_all();
  for (auto& t : w.threads) t.join();
  w.threads.clear();
}

int worker_count(const workers& w) { return static_cast<int>(w.threads.size()) + 1; }

void for_each_index(workers& w, int n, const std::function<void(int)>& fn) {
  if (w.threads.empty() || n <= 1) {
    for (int i = 0; i < n; ++i) fn(i);
    return;
  }
  {
    std::lock_guard<std::mutex> hold(w.lock);
    w.job = &fn;
    w.items = n;
    w.next.store(0);
    w.busy = static_cast<int>(w.threads.size());
    ++w.generation;
  }
  w.wake.notify_all();
  take_items(w, fn);
  std::unique_lock<std::mutex> hold(w.lock);
  w.finished.wait(hold, [&] { return w.busy == 0; });
}

}  // namespace cpg
