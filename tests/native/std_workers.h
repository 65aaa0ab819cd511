// The engine's threads natively: std::thread and one std::mutex.
#pragma once

#include <algorithm>
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
  unsigned count() const override { return count_; }
  void run(const std::function<void(unsigned)>& job) override {
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < count_; ++i) threads.emplace_back(job, i);
    job(0);
    for (auto& thread : threads) thread.join();
  }
  void lock() override { mutex_.lock(); }
  void unlock() override { mutex_.unlock(); }

 private:
  unsigned count_;
  std::mutex mutex_;
};

}  // namespace kzsfx::testing
