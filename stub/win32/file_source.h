// Our own executable as a ByteSource, read with 64-bit offsets.
#pragma once

#include <optional>
#include <string>

#include "stub/core/byte_source.h"
#include "stub/win32/handles.h"

namespace kzsfx::win32 {

// The full path of the running exe (no length limit).
std::wstring OwnExePath();

class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::wstring& path);

  bool Ok() const { return file_.Valid(); }
  std::uint64_t size() const override { return size_; }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

  // The raw content of the file's Zone.Identifier stream, or nothing when it has none, found
  // through the open handle: renamed or moved meanwhile, the file keeps its mark. Reads at
  // most `limit` + 1 bytes so an oversized stream is recognisable as such. A stream that is
  // there but cannot be opened or read gives empty content: a mark, damaged.
  std::optional<std::string> ZoneMark(std::size_t limit) const;

 private:
  AutoFile file_;
  std::uint64_t size_ = 0;
};

}  // namespace kzsfx::win32
