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

  void progress(std::uint64_t done, std::uint64_t total, const std::string& current) override {
    worker_.done_.store(done, std::memory_order_relaxed);
    worker_.total_.store(total, std::memory_order_relaxed);
    if (current != last_current_) {
      last_current_ = current;
      std::wstring shown = shown_entry(current);
      ExclusiveLock lock(worker_.current_lock_);
      worker_.current_.swap(shown);
    }
    test_hooks::AfterBlock(current, done);
  }

  OverwriteAnswer ask_overwrite(const std::string& path) override {
    OverwriteRequest request{shown_path(path), std::nullopt};
    ::SendMessageW(worker_.window_, msg_ask_overwrite, 0, reinterpret_cast<LPARAM>(&request));
    if (!request.answer) {
      worker_.cancel_.store(true);
      return OverwriteAnswer::skip;
    }
    return *request.answer;
  }

  PasswordForms ask_password(const std::string& path, bool retry) override {
    if (gave_up_password_) return {};
    // Asked at all while the dialog's password was given: that one was wrong.
    PasswordRequest request{shown_entry(path), retry || !worker_.options_.password.empty(),
                            std::nullopt};
    ::SendMessageW(worker_.window_, msg_ask_password, 0, reinterpret_cast<LPARAM>(&request));
    if (!request.answer || request.answer->empty()) {
      // One "cancel" answers for every remaining entry.
      gave_up_password_ = true;
      return {};
    }
    return password_forms(*request.answer);
  }

  bool cancelled() override { return worker_.cancel_.load(std::memory_order_relaxed); }

 private:
  std::wstring shown_path(const std::string& path) const {
    std::wstring shown = display_path(worker_.destination_->root());
    if (shown.back() != L'\\') shown += L'\\';
    return shown + shown_entry(path);
  }

  ExtractionWorker& worker_;
  std::string last_current_;
  bool gave_up_password_ = false;
};

bool ExtractionWorker::start(HWND window, FileDestination& destination, Options options) {
  window_ = window;
  destination_ = &destination;
  destination_->set_zone_marks(options.zone_mark.has_value());
  options_ = std::move(options);
  thread_.Reset(::CreateThread(nullptr, 0, thread_main, this, 0, nullptr));
  return thread_.Valid();
}

DWORD WINAPI ExtractionWorker::thread_main(void* parameter) {
  auto* self = static_cast<ExtractionWorker*>(parameter);
  Observer observer(*self);
  self->result_ = extract_archive(*self->session_.source, self->session_.archive_offset,
                                  self->destination_, self->options_, observer, &self->listing_);
  // The summary stays up: the folders must not stay locked meanwhile.
  self->destination_->release_folders();
  ::PostMessageW(self->window_, msg_extraction_done, 0, 0);
  return 0;
}

ExtractionProgress ExtractionWorker::progress() {
  ExtractionProgress now{
      done_.load(std::memory_order_relaxed), total_.load(std::memory_order_relaxed), {}};
  ExclusiveLock lock(current_lock_);
  now.current = current_;
  return now;
}

ExtractResult ExtractionWorker::finish() {
  ::WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Reset();
  return std::move(result_);
}

}  // namespace kzsfx::win32
