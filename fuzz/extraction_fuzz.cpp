// Fuzzes the self-extractor core over whatever bytes follow a PE head: the image end, entry-name
// safety, listing, and extraction into a destination that checks every path it is handed, so
// that no accepted name can leave the destination folder whatever the archive holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "stub/core/engine.h"
#include "stub/core/pe_image.h"
#include "stub/core/safe_path.h"

namespace {

class Bytes final : public kzsfx::ByteSource {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t size() const override { return size_; }
  std::optional<std::size_t> read_at(std::uint64_t offset, void* buffer,
                                     std::size_t count) override {
    if (offset >= size_) return 0;
    std::size_t n = count < size_ - offset ? count : static_cast<std::size_t>(size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Answers every question with "no", and gives up on passwords.
class Quiet final : public kzsfx::Observer {};

// A path the core hands a destination: '/'-joined components, each one an accepted name's,
// so that joined under the destination folder it stays inside it on Windows and posix alike.
void check_inside(const std::string& path) {
  kzsfx::SafePath again = kzsfx::check_entry_path(path);
  if (!again.ok() || again.joined() != path) std::abort();
  for (const auto& c : again.components)
    if (c.empty() || c == "." || c == ".." || c.find_first_of("/\\:") != std::string::npos ||
        c.back() == '.' || c.back() == ' ')
      std::abort();
}

// Keeps only sizes: enough to check paths and totals without holding the data.
class CheckingDestination final : public kzsfx::Destination {
 public:
  class File final : public kzsfx::OutputFile {
   public:
    File(CheckingDestination& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    kzsfx::Status write(const void*, std::size_t size) override {
      size_ += size;
      return kzsfx::Status::success();
    }
    kzsfx::Status set_zone_mark(std::string_view) override { return kzsfx::Status::success(); }
    kzsfx::Status commit(const kzsfx::FileMetadata&, bool, std::string&) override {
      owner_.files_[path_] = size_;
      owner_.written += size_;
      return kzsfx::Status::success();
    }

   private:
    CheckingDestination& owner_;
    std::string path_;
    std::uint64_t size_ = 0;
  };

  kzsfx::Status create_folder(const std::string& path) override {
    check_inside(path);
    folders_.insert(path);
    return kzsfx::Status::success();
  }
  kzsfx::Existing exists(const std::string& path) override {
    check_inside(path);
    if (folders_.count(path)) return kzsfx::Existing::folder;
    return files_.count(path) ? kzsfx::Existing::file : kzsfx::Existing::nothing;
  }
  std::unique_ptr<kzsfx::OutputFile> open_file(const std::string& path, kzsfx::Status&) override {
    check_inside(path);
    return std::make_unique<File>(*this, path);
  }
  std::optional<std::uint64_t> free_space() override { return std::nullopt; }

  std::uint64_t written = 0;

 private:
  std::set<std::string> folders_;
  std::map<std::string, std::uint64_t> files_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kzsfx::SafePath name =
      kzsfx::check_entry_path(std::string_view(reinterpret_cast<const char*>(data), size));
  if (name.ok()) check_inside(name.joined());

  Bytes whole(data, size);
  kzsfx::ImageEnd end = kzsfx::find_image_end(whole);
  if (end.ok && end.offset > size) std::abort();

  // The same bytes as an appended archive.
  Quiet observer;
  kzsfx::Options options;
  options.overwrite = kzsfx::OverwritePolicy::overwrite_all;
  kzsfx::Listing listing = kzsfx::list_archive(whole, 0, options, observer);
  if (listing.fatal != kzsfx::Fatal::none) return 0;
  CheckingDestination destination;
  kzsfx::ExtractResult result =
      kzsfx::extract_archive(whole, 0, &destination, options, observer, &listing);
  // What the free-space check trusted is never exceeded, however damaged the archive.
  if (result.bytes > listing.declared_total || destination.written > listing.declared_total ||
      result.files > listing.entries)
    std::abort();
  for (const auto& refused : result.refused)
    if (refused.refusal == kzsfx::PathRefusal::none) std::abort();
  // A header asking for more decoder memory than allowed is refused, never out of memory.
  if (result.fatal == kzsfx::Fatal::out_of_memory) std::abort();
  return 0;
}
