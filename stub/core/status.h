// A success-or-reason result for destination operations.
#pragma once

#include <string>
#include <utility>

namespace kzsfx {

// Empty `error` means success; otherwise a short reason (the platform's message) that the
// engine puts into the summary next to the entry's name.
struct Status {
  std::string error;

  static Status success() { return {}; }
  static Status failure(std::string reason) { return Status{std::move(reason)}; }
  bool ok() const { return error.empty(); }
  explicit operator bool() const { return ok(); }
};

}  // namespace kzsfx
