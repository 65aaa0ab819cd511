// The extraction's worker thread and the observer that speaks for it to the dialog.
#include "stub/win32/extraction_worker.h"

#include "stub/core/extraction.h"
#include "stub/win32/messages.h"
#include "stub/win32/test_hooks.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {

// The engine's questions and reports, on the worker thread. Questions go to the dialog's
// thread with SendMessage, which waits for the answer; the dialog thread never waits for
// the worker, so the two cannot deadlock.
class ExtractionWorker::Observer final : public kzsfx::Observer {
 public:
  explicit Observer(ExtractionWorker& worker) : worker_(worker) {}

  void Progress(std::uint64_t done, std::uint64_t total, const std::string& current) override {
    worker_.done_.store(done, std::memory_order_relaxed);
    worker_.total_.store(total, std::memory_order_relaxed);
    if (current != lastCurrent_) {
      lastCurrent_ = current;
      std::wstring shown = ShownEntry(current);
      ExclusiveLock lock(worker_.currentLock_);
      worker_.current_.swap(shown);
    }
    test_hooks::AfterBlock(current, done);
  }

  OverwriteAnswer AskOverwrite(const std::string& path) override {
    OverwriteRequest request{ShownPath(path), std::nullopt};
    ::SendMessageW(worker_.window_, kMsgAskOverwrite, 0, reinterpret_cast<LPARAM>(&request));
    if (!request.answer) {
      worker_.cancel_.store(true);
      return OverwriteAnswer::kSkip;
    }
    return *request.answer;
  }

  PasswordForms AskPassword(const std::string& path, bool retry) override {
    if (gaveUpPassword_) return {};
    // Asked at all while the dialog's password was given: that one was wrong.
    PasswordRequest request{ShownEntry(path), retry || !worker_.options_.password.empty(),
                            std::nullopt};
    ::SendMessageW(worker_.window_, kMsgAskPassword, 0, reinterpret_cast<LPARAM>(&request));
    if (!request.answer || request.answer->empty()) {
      // One "cancel" answers for every remaining entry.
      gaveUpPassword_ = true;
      return {};
    }
    return password_forms(*request.answer);
  }

  bool Cancelled() override { return worker_.cancel_.load(std::memory_order_relaxed); }

 private:
  std::wstring ShownPath(const std::string& path) const {
    std::wstring shown = DisplayPath(worker_.destination_->Root());
    if (shown.back() != L'\\') shown += L'\\';
    return shown + ShownEntry(path);
  }

  ExtractionWorker& worker_;
  std::string lastCurrent_;
  bool gaveUpPassword_ = false;
};

bool ExtractionWorker::Start(HWND window, FileDestination& destination, Options options) {
  window_ = window;
  destination_ = &destination;
  destination_->SetZoneMarks(options.zoneMark.has_value());
  options_ = std::move(options);
  thread_.Reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  return thread_.Valid();
}

DWORD WINAPI ExtractionWorker::ThreadMain(void* parameter) {
  auto* self = static_cast<ExtractionWorker*>(parameter);
  Observer observer(*self);
  self->result_ = ExtractArchive(*self->session_.source, self->session_.archiveOffset,
                                 self->destination_, self->options_, observer, &self->listing_);
  // The summary stays up: the folders must not stay locked meanwhile.
  self->destination_->ReleaseFolders();
  ::PostMessageW(self->window_, kMsgExtractionDone, 0, 0);
  return 0;
}

ExtractionProgress ExtractionWorker::Progress() {
  ExtractionProgress now{
      done_.load(std::memory_order_relaxed), total_.load(std::memory_order_relaxed), {}};
  ExclusiveLock lock(currentLock_);
  now.current = current_;
  return now;
}

ExtractResult ExtractionWorker::Finish() {
  ::WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Reset();
  return std::move(result_);
}

}  // namespace kzsfx::win32
