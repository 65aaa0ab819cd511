// Win32 threads rather than std::thread: MinGW's would bring winpthread into the stub.
#include "stub/win32/threads.h"

#include <vector>

#include "stub/win32/handles.h"

namespace kzsfx::win32 {

namespace {

// More threads than this only add memory: the disk or the archive's layout limits first.
constexpr unsigned kMaxThreads = 8;

struct Call {
  const std::function<void(unsigned)>* job;
  unsigned index;
};

DWORD WINAPI ThreadMain(void* parameter) {
  const auto* call = static_cast<const Call*>(parameter);
  (*call->job)(call->index);
  return 0;
}

}  // namespace

ThreadWorkers::ThreadWorkers() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  count_ = info.dwNumberOfProcessors == 0 ? 1 : info.dwNumberOfProcessors;
  if (count_ > kMaxThreads) count_ = kMaxThreads;
  ::InitializeCriticalSection(&lock_);
}

ThreadWorkers::~ThreadWorkers() { ::DeleteCriticalSection(&lock_); }

void ThreadWorkers::Run(const std::function<void(unsigned)>& job) {
  std::vector<Call> calls(count_);
  std::vector<AutoHandle> threads;
  std::vector<unsigned> notStarted;
  for (unsigned i = 1; i < count_; ++i) {
    calls[i] = {&job, i};
    AutoHandle thread(::CreateThread(nullptr, 0, ThreadMain, &calls[i], 0, nullptr));
    if (thread)
      threads.push_back(std::move(thread));
    else
      notStarted.push_back(i);
  }
  job(0);
  for (unsigned i : notStarted) job(i);
  for (const AutoHandle& thread : threads) ::WaitForSingleObject(thread.Get(), INFINITE);
}

}  // namespace kzsfx::win32
