// A success-or-reason result for destination operations.
#pragma once

#include <string>
#include <utility>

namespace kzsfx {

// Empty `error` means success; otherwise a short reason (the platform's message) that the
// engine puts into the summary next to the entry's name.
struct Status {
  std::string error;

  static Status Success() { return {}; }
  static Status Failure(std::string reason) { return Status{std::move(reason)}; }
  bool Ok() const { return error.empty(); }
  explicit operator bool() const { return Ok(); }
};

}  // namespace kzsfx
