// Fuzzes the zip central directory walk: bounded reads, no read past the archive, names and
// records only from within it, in reading order, name decisions that yield valid UTF-8, and a
// comment that ends with the archive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "stub/core/utf8.h"
#include "stub/core/zip_layout.h"
#include "stub/core/zip_names.h"

namespace {

// Counts what is read, so that a claimed count cannot make the walk read more than exists.
class Bytes final : public kzsfx::ByteSource {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t size() const override { return size_; }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                    std::size_t count) override {
    if (offset > size_) std::abort();
    std::size_t n = count < size_ - offset ? count : static_cast<std::size_t>(size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes source(data, size);
  // The archive at offset 0 and, as behind a stub, at a few bytes in.
  for (std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{size > 7 ? 7u : 0u}}) {
    auto directory = kzsfx::ReadZipDirectory(source, offset);
    auto names = kzsfx::ReadZipNames(source, offset);
    if (directory.has_value() != names.has_value()) std::abort();
    // The comment ends where the archive does, so it lies within it.
    if (auto comment = kzsfx::ReadZipComment(source, offset);
        comment && comment->size() > size - offset - 22)
      std::abort();
    if (!directory) continue;
    // Every record takes at least 46 bytes of the archive.
    if (directory->records.size() > (size - offset) / 46 ||
        names->size() > directory->records.size())
      std::abort();
    for (std::size_t i = 1; i < directory->records.size(); ++i)
      if (directory->records[i - 1].localOffset > directory->records[i].localOffset) std::abort();
    for (std::size_t i = 1; i < names->size(); ++i)
      if ((*names)[i - 1].localOffset >= (*names)[i].localOffset) std::abort();
    for (const auto& name : *names) {
      if (name.raw.size() > size) std::abort();
      if (auto decoded = kzsfx::ZipNameUtf8(name); decoded && !kzsfx::utf8::Valid(*decoded))
        std::abort();
    }
  }
  return 0;
}
