#include "platform/workers.h"

#include <system_error>

namespace cpg {

namespace {

void take_items(workers& w, std::uint32_t generation, int items, const std::function<void(int)>& fn) {
  std::uint64_t t = w.ticket.load();
  for (;;) {
    if (static_cast<std::uint32_t>(t >> 32) != generation || static_cast<int>(t & 0xffffffffu) >= items) return;
    if (!w.ticket.compare_exchange_weak(t, t + 1)) continue;
    fn(static_cast<int>(t & 0xffffffffu));
    if (w.done.fetch_add(1) + 1 == items) {
      std::lock_guard<std::mutex> hold(w.lock);
      w.finished.notify_all();
    }
    t = w.ticket.load();
  }
}

void worker_loop(workers& w) {
  std::uint32_t seen = 0;
  for (;;) {
    const std::function<void(int)>* job;
    int items;
    {
      std::unique_lock<std::mutex> hold(w.lock);
      w.wake.wait(hold, [&] { return w.stopping || w.generation != seen; });
      if (w.stopping) return;
      seen = w.generation;
      job = &w.job;
      items = w.items;
    }
    // The job object stays in place until its items are all done, and an
    // item can only be taken while its generation is current.
    take_items(w, seen, items, *job);
  }
}

}  // namespace

void start_workers(workers& w, int thread_count) {
  for (int t = 1; t < thread_count; ++t) {
    try {
      w.threads.emplace_back(worker_loop, std::ref(w));
    } catch (const std::system_error&) {
      break;  // the system has no more threads to give: run with those there are
    }
  }
}

void stop_workers(workers& w) {
  finish_each_index(w);
  {
    std::lock_guard<std::mutex> hold(w.lock);
    w.stopping = true;
  }
  w.wake.notify_all();
  for (auto& t : w.threads) t.join();
  w.threads.clear();
}

int worker_count(const workers& w) { return static_cast<int>(w.threads.size()) + 1; }

void begin_each_index(workers& w, int n, std::function<void(int)> fn) {
  finish_each_index(w);
  std::lock_guard<std::mutex> hold(w.lock);
  w.job = std::move(fn);
  w.items = n;
  w.done.store(0);
  w.job_open = true;
  if (w.threads.empty() || n <= 0) return;
  ++w.generation;
  w.ticket.store(static_cast<std::uint64_t>(w.generation) << 32);
  w.wake.notify_all();
}

void finish_each_index(workers& w) {
  if (!w.job_open) return;
  w.job_open = false;
  const int n = w.items;
  if (w.threads.empty()) {
    for (int i = 0; i < n; ++i) w.job(i);
  } else if (n > 0) {
    take_items(w, w.generation, n, w.job);
    if (w.done.load() != n) {
      std::unique_lock<std::mutex> hold(w.lock);
      w.finished.wait(hold, [&] { return w.done.load() == n; });
    }
  }
  w.job = nullptr;
}

void for_each_index(workers& w, int n, const std::function<void(int)>& fn) {
  if (w.threads.empty() || n <= 1) {
    finish_each_index(w);
    for (int i = 0; i < n; ++i) fn(i);
    return;
  }
  begin_each_index(w, n, fn);
  finish_each_index(w);
}

}  // namespace cpg
