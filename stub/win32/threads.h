// The engine's threads on Windows: one per processor, a critical section and a condition
// variable.
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

  unsigned Count() const override { return count_; }
  void Run(const std::function<void(unsigned)>& job) override;
  void lock() override { ::EnterCriticalSection(&lock_); }
  void unlock() override { ::LeaveCriticalSection(&lock_); }
  void Wait() override { ::SleepConditionVariableCS(&woken_, &lock_, INFINITE); }
  void Wake() override { ::WakeAllConditionVariable(&woken_); }

 private:
  unsigned count_;
  CRITICAL_SECTION lock_;
  CONDITION_VARIABLE woken_ = CONDITION_VARIABLE_INIT;
};

}  // namespace kzsfx::win32
