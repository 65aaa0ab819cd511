// Test doubles for the self-extractor core: byte sources, a folder destination, a scripted
// observer, a synthetic PE head and tree comparison.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"
#include "stub/core/observer.h"

namespace kzsfx::testing {

using Bytes = std::vector<unsigned char>;

inline constexpr const char* mark_suffix = "#Zone.Identifier";

// The GBK code page as libarchive names it: through iconv natively, by number on Windows.
#ifdef _WIN32
inline constexpr const char* gbk_charset = "CP936";
#else
inline constexpr const char* gbk_charset = "GBK";
#endif

Bytes read_file(const std::filesystem::path& path);

// GBK bytes to UTF-8 the way the Windows side does it with the system code page.
std::optional<std::string> decode_gbk(std::string_view raw);

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;
  std::size_t largest_read = 0;

 private:
  Bytes bytes_;
};

// `head`, then `gap` zero bytes that are never stored, then the file: lets a test put an
// archive beyond 4 GB without writing 4 GB.
class SplicedSource final : public ByteSource {
 public:
  SplicedSource(Bytes head, std::uint64_t gap, const std::filesystem::path& file);
  std::uint64_t size() const override { return head_.size() + gap_ + file_size_; }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;
  std::uint64_t archive_offset() const { return head_.size() + gap_; }
  std::size_t largest_read = 0;
  std::uint64_t bytes_read = 0;
  bool fail_reads = false;

 private:
  Bytes head_;
  std::uint64_t gap_;
  std::ifstream file_;
  std::uint64_t file_size_ = 0;
};

// A minimal PE32 image: headers plus `sections` raw blocks of `section_size` bytes each.
Bytes make_pe_head(unsigned sections = 3, std::uint32_t section_size = 0x200);

// Writes below a real folder. The download mark goes to a file named "<file>" + mark_suffix
// beside it, so tests can see it on any file system.
class FolderDestination final : public Destination {
 public:
  explicit FolderDestination(std::filesystem::path root) : root_(std::move(root)) {}
  Status CreateFolder(const std::string& path) override;
  Existing Exists(const std::string& path) override;
  std::unique_ptr<OutputFile> OpenFile(const std::string& path, Status& status) override;
  std::optional<std::uint64_t> FreeSpace() override;

  std::optional<std::uint64_t> pretend_free_space;
  // Fails writes once this many bytes went into one file (a full disk).
  std::optional<std::uint64_t> fail_write_after;
  // A file system without streams: no file can carry the download mark.
  bool keeps_zone_marks_here = true;
  bool KeepsZoneMarks() override { return keeps_zone_marks_here; }
  std::filesystem::path full(const std::string& path) const;

 private:
  std::filesystem::path root_;
  std::atomic<unsigned> counter_ = 0;
};

class RecordingObserver : public Observer {
 public:
  void Progress(std::uint64_t done, std::uint64_t total, const std::string& current) override;
  OverwriteAnswer AskOverwrite(const std::string& path) override;
  PasswordForms AskPassword(const std::string& path, bool retry) override;
  bool Cancelled() override {
    return question_cancelled ||
           (cancel_after_progress && progress_calls >= *cancel_after_progress);
  }
  void EntryProblem(const EntryReport& report) override { problems.push_back(report); }
  void EntryFinished(const EntryOutcome& outcome) override { finished.push_back(outcome); }

  std::vector<OverwriteAnswer> overwrite_answers;  // consumed in order; then skip
  std::vector<std::string> overwrite_questions;
  std::vector<std::string> passwords;  // consumed in order; then none
  std::vector<std::pair<std::string, bool>> password_questions;
  std::optional<std::uint64_t> cancel_after_progress;
  bool cancel_at_question = false;  // the first overwrite question is answered with Cancel
  bool question_cancelled = false;
  std::uint64_t progress_calls = 0;
  std::uint64_t last_done = 0, last_total = 0;
  bool progress_went_back = false;
  std::vector<EntryReport> problems;
  std::vector<EntryOutcome> finished;
};

// Every file and folder below `root`, relative with '/', files mapped to their bytes;
// folders end with '/'.
std::map<std::string, Bytes> snapshot(const std::filesystem::path& root);

// Names found in one tree and not the other, or with different bytes; empty when equal.
std::vector<std::string> tree_differences(const std::filesystem::path& expected,
                                          const std::filesystem::path& actual);

}  // namespace kzsfx::testing
