// The engine's threads on Windows: one per processor, and a critical section.
#pragma once

#include <windows.h>

#include "stub/core/workers.h"

namespace kzsfx::win32 {

class ThreadWorkers final : public Workers {
 public:
  ThreadWorkers();
  ~ThreadWorkers() override;
  ThreadWorkers(const ThreadWorkers&) = delete;
  ThreadWorkers& operator=(const ThreadWorkers&) = delete;

  unsigned count() const override { return count_; }
  void run(const std::function<void(unsigned)>& job) override;
  void lock() override { ::EnterCriticalSection(&lock_); }
  void unlock() override { ::LeaveCriticalSection(&lock_); }

 private:
  unsigned count_;
  CRITICAL_SECTION lock_;
};

}  // namespace kzsfx::win32
