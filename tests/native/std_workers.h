// The engine's threads natively: std::thread, one std::mutex and its condition variable.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "stub/core/workers.h"

namespace kzsfx::testing {

class StdWorkers final : public Workers {
 public:
  // 0: one per core, as the stub has.
  explicit StdWorkers(unsigned count = 0)
      : count_(count ? count : std::max(1u, std::thread::hardware_concurrency())) {}
  unsigned Count() const override { return count_; }
  void Run(const std::function<void(unsigned)>& job) override {
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < count_; ++i) threads.emplace_back(job, i);
    job(0);
    for (auto& thread : threads) thread.join();
  }
  void lock() override { mutex_.lock(); }
  void unlock() override { mutex_.unlock(); }
  void Wait() override { woken_.wait(mutex_); }
  void Wake() override { woken_.notify_all(); }

 private:
  unsigned count_;
  std::mutex mutex_;
  std::condition_variable_any woken_;
};

// As the Windows side runs the jobs when no thread can be started: one after the other on the
// calling thread. Waiting there would be waiting forever, so it aborts.
class SequentialWorkers final : public Workers {
 public:
  unsigned Count() const override { return 2; }
  void Run(const std::function<void(unsigned)>& job) override {
    for (unsigned i = 0; i < Count(); ++i) job(i);
  }
  void lock() override {}
  void unlock() override {}
  void Wait() override { std::abort(); }
  void Wake() override {}
};

}  // namespace kzsfx::testing
