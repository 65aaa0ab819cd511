// Threads for the engine, supplied by the platform: the core itself starts none.
#pragma once

#include <functional>

namespace kzsfx {

// Runs one job on several threads at once and serialises what they share. The Windows side
// implements it with its own threads, a critical section and a condition variable, the native
// tests with std::thread.
class Workers {
 public:
  virtual ~Workers() = default;

  // How many threads run() uses: one per core.
  virtual unsigned Count() const = 0;

  // Calls job(0) .. job(count() - 1), each on a thread of its own, and returns once every
  // call has returned. A thread that cannot be started has its call made on another one.
  virtual void Run(const std::function<void(unsigned)>& job) = 0;

  // One lock shared by every job; never held across a call to run().
  virtual void lock() = 0;
  virtual void unlock() = 0;

  // With the lock held: releases it until wake() is called, then takes it again. It may also
  // return without a wake(), so callers wait in a loop on their own condition.
  virtual void Wait() = 0;
  // Ends every wait() in progress.
  virtual void Wake() = 0;
};

class WorkersLock {
 public:
  explicit WorkersLock(Workers& workers) : workers_(workers) { workers_.lock(); }
  ~WorkersLock() { workers_.unlock(); }
  WorkersLock(const WorkersLock&) = delete;
  WorkersLock& operator=(const WorkersLock&) = delete;

 private:
  Workers& workers_;
};

}  // namespace kzsfx
