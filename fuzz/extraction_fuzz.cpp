// Fuzzes the self-extractor core over whatever bytes follow a PE head: the image end, entry-name
// safety, listing, testing and extraction as the program runs them (names decoded from the code
// page, worker threads, passwords, overwrite questions, a second run over the first's files),
// into a destination that checks every path it is handed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "stub/core/extraction.h"
#include "stub/core/listing.h"
#include "stub/core/pe_image.h"
#include "stub/core/safe_path.h"
#include "tests/native/std_workers.h"
#include "tests/native/stub_test_support.h"

namespace {

class Bytes final : public kzsfx::ByteSource {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t size() const override { return size_; }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
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

// The password the seeds' encrypted entries use.
constexpr std::string_view seed_password = "quillet";

// Answers overwrite questions in turn with every answer there is, gives the seeds' password
// once per entry and a wrong one on the retry, then gives up. The engine calls it from one
// thread at a time.
class Answering final : public kzsfx::Observer {
 public:
  explicit Answering(unsigned first) : next_answer_(first) {}
  kzsfx::OverwriteAnswer AskOverwrite(const std::string&) override {
    static constexpr kzsfx::OverwriteAnswer answers[] = {
        kzsfx::OverwriteAnswer::kOverwrite, kzsfx::OverwriteAnswer::kSkip,
        kzsfx::OverwriteAnswer::kOverwriteAll, kzsfx::OverwriteAnswer::kSkipAll};
    return answers[next_answer_++ % 4];
  }
  kzsfx::PasswordForms AskPassword(const std::string&, bool retry) override {
    if (retry) return ++retries_ % 2 ? kzsfx::PasswordForms{"wrong"} : kzsfx::PasswordForms{};
    return {std::string(seed_password)};
  }
  void EntryFinished(const kzsfx::EntryOutcome& outcome) override {
    if (!outcome.directory && outcome.problem == kzsfx::Problem::kNone)
      good_files.insert(outcome.path);
  }

  std::set<std::string> good_files;

 private:
  unsigned next_answer_;
  unsigned retries_ = 0;
};

// A path the core hands a destination: '/'-joined components, each one an accepted name's,
// so that joined under the destination folder it stays inside it on Windows and posix alike.
void check_inside(const std::string& path) {
  kzsfx::SafePath again = kzsfx::CheckEntryPath(path);
  if (!again.Ok() || again.Joined() != path) std::abort();
  for (const auto& c : again.components)
    if (c.empty() || c == "." || c == ".." || c.find_first_of("/\\:") != std::string::npos ||
        c.back() == '.' || c.back() == ' ')
      std::abort();
}

// The name a case-blind file system keeps a path under.
std::string folded(std::string path) {
  for (char& c : path)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return path;
}

// Keeps only sizes, folding case as Windows does: enough to check paths and totals without
// holding the data. Called from several threads at once.
class CheckingDestination final : public kzsfx::Destination {
 public:
  class File final : public kzsfx::OutputFile {
   public:
    File(CheckingDestination& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    kzsfx::Status Write(const void*, std::size_t size) override {
      size_ += size;
      return kzsfx::Status::Success();
    }
    kzsfx::Status SetZoneMark(std::string_view) override { return kzsfx::Status::Success(); }
    kzsfx::Status Commit(const kzsfx::FileMetadata&, bool replace, std::string&) override {
      std::lock_guard lock(owner_.mutex_);
      const std::string key = folded(path_);
      // Two entries resolved to one file, and the second was written without the overwrite
      // decision: which one the user gets would depend on timing.
      if (!replace && owner_.files_.count(key)) std::abort();
      owner_.files_[key] = size_;
      owner_.committed_.insert(path_);
      owner_.written += size_;
      return kzsfx::Status::Success();
    }

   private:
    CheckingDestination& owner_;
    std::string path_;
    std::uint64_t size_ = 0;
  };

  kzsfx::Status CreateFolder(const std::string& path) override {
    check_inside(path);
    std::lock_guard lock(mutex_);
    folders_.insert(folded(path));
    return kzsfx::Status::Success();
  }
  kzsfx::Existing Exists(const std::string& path) override {
    check_inside(path);
    std::lock_guard lock(mutex_);
    if (folders_.count(folded(path))) return kzsfx::Existing::kFolder;
    return files_.count(folded(path)) ? kzsfx::Existing::kFile : kzsfx::Existing::kNothing;
  }
  std::unique_ptr<kzsfx::OutputFile> OpenFile(const std::string& path, kzsfx::Status&) override {
    check_inside(path);
    return std::make_unique<File>(*this, path);
  }
  std::optional<std::uint64_t> FreeSpace() override { return std::nullopt; }

  // Paths committed since the last call, as the core named them.
  std::set<std::string> take_committed() {
    std::lock_guard lock(mutex_);
    return std::exchange(committed_, {});
  }

  std::uint64_t written = 0;

 private:
  std::mutex mutex_;
  std::set<std::string> folders_;
  std::map<std::string, std::uint64_t> files_;
  std::set<std::string> committed_;
};

// Checks what holds for every run, however damaged the archive.
void check_run(const kzsfx::ExtractResult& result, const kzsfx::Listing& listing,
               std::uint64_t written) {
  // What the free-space check trusted is never exceeded.
  if (result.bytes > listing.declaredTotal || written > listing.declaredTotal ||
      result.files > listing.entries)
    std::abort();
  for (const auto& refused : result.refused)
    if (refused.refusal == kzsfx::PathRefusal::kNone) std::abort();
  // A header asking for more decoder memory than allowed is refused, never out of memory.
  if (result.fatal == kzsfx::Fatal::kOutOfMemory) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kzsfx::SafePath name =
      kzsfx::CheckEntryPath(std::string_view(reinterpret_cast<const char*>(data), size));
  if (name.Ok()) check_inside(name.Joined());

  Bytes whole(data, size);
  kzsfx::ImageEnd end = kzsfx::FindImageEnd(whole);
  if (end.ok && end.offset > size) std::abort();

  // The same bytes as an appended archive, read as the program reads it: names without the
  // UTF-8 flag decoded from the code page, on two threads.
  kzsfx::testing::StdWorkers workers(2);
  kzsfx::Options options;
  options.nameCharset = kzsfx::testing::gbk_charset;
  options.decodeLegacyName = kzsfx::testing::decode_gbk;
  options.zoneMark = "[ZoneTransfer]\r\nZoneId=3\r\n";
  options.workers = &workers;
  Answering lister(0);
  const kzsfx::Listing listing = kzsfx::ListArchive(whole, 0, options, lister);
  if (listing.fatal != kzsfx::Fatal::kNone) return 0;

  kzsfx::Options testing = options;
  testing.testOnly = true;
  Answering tester(0);
  const kzsfx::ExtractResult tested =
      kzsfx::ExtractArchive(whole, 0, nullptr, testing, tester, &listing);
  check_run(tested, listing, 0);

  // Twice into one destination: the second run meets every file of the first and asks.
  CheckingDestination destination;
  Answering first(static_cast<unsigned>(size));
  const kzsfx::ExtractResult result =
      kzsfx::ExtractArchive(whole, 0, &destination, options, first, &listing);
  check_run(result, listing, destination.written);
  // The names the test listed are the names extracted, when both read the whole archive: a
  // file written was listed, and a file listed was written or its failure named.
  if (!result.cancelled && result.fatal == kzsfx::Fatal::kNone && !tested.cancelled &&
      tested.fatal == kzsfx::Fatal::kNone) {
    const std::set<std::string> committed = destination.take_committed();
    std::set<std::string> listed, written;
    for (const auto& path : tester.good_files) listed.insert(folded(path));
    for (const auto& path : committed) written.insert(folded(path));
    for (const auto* reports : {&result.failed, &result.skipped})
      for (const auto& report : *reports) written.insert(folded(report.path));
    for (const auto& path : committed)
      if (!listed.count(folded(path))) std::abort();
    for (const auto& path : listed)
      if (!written.count(path)) std::abort();
  }
  Answering second(static_cast<unsigned>(size) + 1);
  const std::uint64_t before = destination.written;
  const kzsfx::ExtractResult again =
      kzsfx::ExtractArchive(whole, 0, &destination, options, second, &listing);
  check_run(again, listing, destination.written - before);
  return 0;
}
