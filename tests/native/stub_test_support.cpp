// Test doubles for the self-extractor core.
#include "tests/native/stub_test_support.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <iconv.h>
#include <unistd.h>
#endif

namespace kzsfx::testing {

namespace fs = std::filesystem;

Bytes read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::string> decode_gbk(std::string_view raw) {
#ifdef _WIN32
  const int wide_length = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, raw.data(),
                                              static_cast<int>(raw.size()), nullptr, 0);
  if (wide_length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, raw.data(), static_cast<int>(raw.size()),
                      wide.data(), wide_length);
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, out.data(), length, nullptr, nullptr);
  return out;
#else
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in(raw), out(raw.size() * 3 + 4, '\0');
  char* in_p = in.data();
  char* out_p = out.data();
  std::size_t in_left = in.size(), out_left = out.size();
  const bool ok = iconv(cd, &in_p, &in_left, &out_p, &out_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
#endif
}

std::optional<std::size_t> MemorySource::ReadAt(std::uint64_t offset, void* buffer,
                                                std::size_t count) {
  largest_read = std::max(largest_read, count);
  if (offset >= bytes_.size()) return 0;
  std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
  std::memcpy(buffer, bytes_.data() + offset, n);
  return n;
}

SplicedSource::SplicedSource(Bytes head, std::uint64_t gap, const fs::path& file)
    : head_(std::move(head)), gap_(gap), file_(file, std::ios::binary) {
  file_size_ = fs::file_size(file);
}

std::optional<std::size_t> SplicedSource::ReadAt(std::uint64_t offset, void* buffer,
                                                 std::size_t count) {
  largest_read = std::max(largest_read, count);
  if (fail_reads) return std::nullopt;
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count && offset < size()) {
    std::size_t n;
    if (offset < head_.size()) {
      n = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, head_.size() - offset));
      std::memcpy(out + done, head_.data() + offset, n);
    } else if (offset < head_.size() + gap_) {
      n = static_cast<std::size_t>(
          std::min<std::uint64_t>(count - done, head_.size() + gap_ - offset));
      std::memset(out + done, 0, n);
    } else {
      std::uint64_t at = offset - head_.size() - gap_;
      n = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, file_size_ - at));
      file_.clear();
      file_.seekg(static_cast<std::streamoff>(at));
      if (!file_.read(reinterpret_cast<char*>(out + done), static_cast<std::streamsize>(n)))
        return std::nullopt;
    }
    done += n;
    offset += n;
  }
  bytes_read += done;
  return done;
}

namespace {

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

}  // namespace

Bytes make_pe_head(unsigned sections, std::uint32_t section_size) {
  const std::size_t pe = 0x80, optional_size = 224;
  const std::size_t table = pe + 24 + optional_size;
  const std::uint32_t headers = 0x200;
  Bytes b(headers + std::size_t{sections} * section_size, 0);
  b[0] = 'M', b[1] = 'Z';
  put32(b, 0x3C, pe);
  std::memcpy(&b[pe], "PE\0\0", 4);
  put16(b, pe + 4, 0x14C);  // i386
  put16(b, pe + 6, static_cast<std::uint16_t>(sections));
  put16(b, pe + 20, optional_size);
  put16(b, pe + 22, 0x0102);
  const std::size_t opt = pe + 24;
  put16(b, opt, 0x10B);
  put32(b, opt + 36, 0x200);    // file alignment
  put32(b, opt + 60, headers);  // size of headers
  put32(b, opt + 92, 16);       // data directories
  for (unsigned i = 0; i < sections; ++i) {
    const std::size_t s = table + i * 40;
    std::memcpy(&b[s], i == 0 ? ".text" : ".data", 5);
    put32(b, s + 16, section_size);
    put32(b, s + 20, headers + i * section_size);
    std::fill(b.begin() + headers + i * section_size, b.begin() + headers + (i + 1) * section_size,
              static_cast<unsigned char>(0xC3 + i));
  }
  return b;
}

fs::path FolderDestination::full(const std::string& path) const {
  return path.empty() ? root_ : root_ / fs::path(std::u8string(path.begin(), path.end()));
}

Status FolderDestination::CreateFolder(const std::string& path) {
  std::error_code ec;
  fs::create_directories(full(path), ec);
  if (ec && !fs::is_directory(full(path))) return Status::Failure(ec.message());
  return Status::Success();
}

Existing FolderDestination::Exists(const std::string& path) {
  std::error_code ec;
  auto st = fs::symlink_status(full(path), ec);
  if (ec || !fs::exists(st)) return Existing::kNothing;
  return fs::is_directory(st) ? Existing::kFolder : Existing::kFile;
}

namespace {

class FolderOutput final : public OutputFile {
 public:
  FolderOutput(fs::path temp, fs::path target, std::FILE* file, std::optional<std::uint64_t> limit)
      : temp_(std::move(temp)), target_(std::move(target)), file_(file), limit_(limit) {}
  ~FolderOutput() override {
    if (file_) std::fclose(file_);
    if (!committed_) {
      std::error_code ec;
      fs::remove(temp_, ec);
      fs::remove(mark_path(temp_), ec);
    }
  }
  Status Write(const void* data, std::size_t size) override {
    written_ += size;
    if (limit_ && written_ > *limit_) return Status::Failure("No space left on device");
    if (std::fwrite(data, 1, size, file_) != size) return Status::Failure("write failed");
    return Status::Success();
  }
  Status SetZoneMark(std::string_view content) override {
    std::ofstream mark(mark_path(temp_), std::ios::binary);
    mark.write(content.data(), static_cast<std::streamsize>(content.size()));
    return mark ? Status::Success() : Status::Failure("cannot write the mark");
  }
  Status Commit(const FileMetadata& meta, bool replace_existing,
                std::string& meta_warning) override {
    if (std::fclose(std::exchange(file_, nullptr)) != 0) return Status::Failure("close failed");
    std::error_code ec;
    if (!replace_existing && fs::exists(target_)) return Status::Failure("file exists");
    fs::rename(temp_, target_, ec);
    if (ec) return Status::Failure(ec.message());
    if (fs::exists(mark_path(temp_))) fs::rename(mark_path(temp_), mark_path(target_), ec);
    committed_ = true;
    // file_time_type counts nanoseconds in 64 bits, about 292 years either side of 2174.
    constexpr std::int64_t earliest = -2'500'000'000, latest = 9'000'000'000;  // 1890 to 2255
    if (meta.modifiedSeconds &&
        (*meta.modifiedSeconds < earliest || *meta.modifiedSeconds > latest)) {
      meta_warning = "time out of this file system's range";
    } else if (meta.modifiedSeconds) {
      auto when = std::chrono::file_clock::from_sys(
          std::chrono::sys_seconds(std::chrono::seconds(*meta.modifiedSeconds)));
      fs::last_write_time(target_, when, ec);
      if (ec) meta_warning = ec.message();
    }
    return Status::Success();
  }

  static fs::path mark_path(const fs::path& file) {
    fs::path mark = file;
    return mark += mark_suffix;
  }

 private:
  fs::path temp_, target_;
  std::FILE* file_;
  std::optional<std::uint64_t> limit_;
  std::uint64_t written_ = 0;
  bool committed_ = false;
};

// Creates the file only when no file of that name exists, whatever the archive put there.
std::FILE* open_exclusive(const fs::path& path) {
#ifdef _WIN32
  int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0600);
#else
  int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
#endif
  return fd < 0 ? nullptr : fdopen(fd, "wb");
}

}  // namespace

std::unique_ptr<OutputFile> FolderDestination::OpenFile(const std::string& path, Status& status) {
  const fs::path target = full(path);
  for (;;) {
    fs::path temp = target.parent_path() / (".kzsfx-" + std::to_string(++counter_) + ".tmp");
    if (std::FILE* file = open_exclusive(temp))
      return std::make_unique<FolderOutput>(temp, target, file, fail_write_after);
    if (errno != EEXIST) {
      status = Status::Failure(std::strerror(errno));
      return nullptr;
    }
  }
}

std::optional<std::uint64_t> FolderDestination::FreeSpace() {
  if (pretend_free_space) return pretend_free_space;
  std::error_code ec;
  auto info = fs::space(root_, ec);
  if (ec) return std::nullopt;
  return info.available;
}

void RecordingObserver::Progress(std::uint64_t done, std::uint64_t total, const std::string&) {
  ++progress_calls;
  if (done < last_done) progress_went_back = true;
  last_done = done;
  last_total = total;
}

OverwriteAnswer RecordingObserver::AskOverwrite(const std::string& path) {
  overwrite_questions.push_back(path);
  if (cancel_at_question) {
    question_cancelled = true;
    return OverwriteAnswer::kSkip;
  }
  if (overwrite_answers.empty()) return OverwriteAnswer::kSkip;
  auto answer = overwrite_answers.front();
  overwrite_answers.erase(overwrite_answers.begin());
  return answer;
}

PasswordForms RecordingObserver::AskPassword(const std::string& path, bool retry) {
  password_questions.emplace_back(path, retry);
  if (passwords.empty()) return {};
  std::string next = passwords.front();
  passwords.erase(passwords.begin());
  return {next};
}

std::map<std::string, Bytes> snapshot(const fs::path& root) {
  std::map<std::string, Bytes> files;
  if (!fs::exists(root)) return files;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    auto rel = item.path().lexically_relative(root).generic_u8string();
    std::string name(rel.begin(), rel.end());
    if (item.is_directory())
      files[name + "/"] = {};
    else
      files[name] = read_file(item.path());
  }
  return files;
}

std::vector<std::string> tree_differences(const fs::path& expected, const fs::path& actual) {
  auto want = snapshot(expected), got = snapshot(actual);
  std::vector<std::string> diffs;
  for (const auto& [name, bytes] : want) {
    auto it = got.find(name);
    if (it == got.end())
      diffs.push_back("missing: " + name);
    else if (it->second != bytes)
      diffs.push_back("different: " + name);
  }
  for (const auto& [name, bytes] : got)
    if (!want.count(name)) diffs.push_back("unexpected: " + name);
  return diffs;
}

}  // namespace kzsfx::testing
