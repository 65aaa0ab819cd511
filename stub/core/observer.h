// The engine's questions and reports to whoever runs it (dialog, console or test).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stub/core/results.h"

namespace kzsfx {

enum class OverwriteAnswer { kOverwrite, kSkip, kOverwriteAll, kSkipAll };

// The same password in each byte form worth trying: UTF-8 first (what WinZip AES and recent
// archivers use), then the ANSI code page form when it differs (older ZipCrypto archives).
// Empty means no password.
using PasswordForms = std::vector<std::string>;

// One finished entry, for the console's test listing.
struct EntryOutcome {
  std::string path;
  std::uint64_t size = 0;
  std::uint32_t crc32 = 0;  // of the data as decoded, in test mode, when problem == none
  bool directory = false;
  Problem problem = Problem::kNone;
};

// Called on the engine's thread. Every method has a harmless default, so a console run or a
// test overrides only what it needs.
class Observer {
 public:
  virtual ~Observer() = default;

  // Data bytes done out of the declared total, and the entry being worked on. Called often
  // (every block): throttle on the receiving side.
  virtual void Progress(std::uint64_t /*done*/, std::uint64_t /*total*/,
                        const std::string& /*current*/) {}

  // The file `path` already exists and the policy is to ask.
  virtual OverwriteAnswer AskOverwrite(const std::string& /*path*/) {
    return OverwriteAnswer::kSkip;
  }

  // An encrypted entry needs a password: `retry` is true when the previous one was wrong.
  // Returning no forms gives up on this entry (it fails as kPasswordRequired/kWrongPassword).
  virtual PasswordForms AskPassword(const std::string& /*path*/, bool /*retry*/) { return {}; }

  // Polled between blocks and inside reads: true stops the run promptly; the file being
  // written is discarded.
  virtual bool Cancelled() { return false; }

  // A problem with one entry, as soon as it is known (the result lists it again).
  virtual void EntryProblem(const EntryReport& /*report*/) {}

  // After each entry, in both extraction and test mode.
  virtual void EntryFinished(const EntryOutcome& /*outcome*/) {}
};

}  // namespace kzsfx
