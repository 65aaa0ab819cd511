// The bridge between the extraction dialog and the extraction on a worker thread: progress
// the dialog's timer reads, questions sent to the dialog's window, the result at the end.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "stub/core/observer.h"
#include "stub/core/options.h"
#include "stub/core/results.h"
#include "stub/win32/file_destination.h"
#include "stub/win32/handles.h"
#include "stub/win32/session.h"

namespace kzsfx::win32 {

// What the worker sends the dialog's window. A question's LPARAM points at its request, which
// the dialog answers before SendMessage returns.
constexpr UINT kMsgExtractionDone = WM_APP + 1;
constexpr UINT kMsgAskOverwrite = WM_APP + 2;
constexpr UINT kMsgAskPassword = WM_APP + 3;

struct OverwriteRequest {
  std::wstring path;
  std::optional<OverwriteAnswer> answer;  // nothing: cancel the extraction
};

struct PasswordRequest {
  std::wstring path;
  bool retry = false;
  std::optional<std::wstring> answer;  // nothing or empty: give up on the password
};

struct ExtractionProgress {
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  std::wstring current;  // the entry in hand, as shown
};

class ExtractionWorker {
 public:
  ExtractionWorker(Session& session, const Listing& listing)
      : session_(session), listing_(listing) {}
  ExtractionWorker(const ExtractionWorker&) = delete;
  ExtractionWorker& operator=(const ExtractionWorker&) = delete;

  // Extracts into `destination`, which must outlive the run, and posts kMsgExtractionDone
  // to `window` at the end. False when the thread could not start.
  bool Start(HWND window, FileDestination& destination, Options options);
  bool Running() const { return thread_.Valid(); }

  // The worker notices between blocks, discards the file in hand and ends.
  void Cancel() { cancel_.store(true); }
  ExtractionProgress Progress();

  // After kMsgExtractionDone: waits for the thread, which has posted its last word.
  ExtractResult Finish();

 private:
  class Observer;
  static DWORD WINAPI ThreadMain(void* parameter);

  Session& session_;
  const Listing& listing_;
  HWND window_ = nullptr;
  FileDestination* destination_ = nullptr;
  Options options_;
  AutoHandle thread_;
  ExtractResult result_;

  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> cancel_{false};
  SRWLOCK currentLock_ = SRWLOCK_INIT;
  std::wstring current_;
};

}  // namespace kzsfx::win32
