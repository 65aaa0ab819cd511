// Native stand-ins for the Windows side: a file as a ByteSource, a folder as a Destination.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"

namespace kzsfx {

// A file opened read-only; `ok()` is false when it could not be opened.
class PosixFileSource final : public ByteSource {
public:
    explicit PosixFileSource(const std::string& path);
    ~PosixFileSource() override;
    PosixFileSource(const PosixFileSource&) = delete;
    PosixFileSource& operator=(const PosixFileSource&) = delete;

    bool ok() const { return fd_ >= 0; }
    std::uint64_t size() const override { return size_; }
    std::optional<std::size_t> read_at(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Writes below `root`; the download mark goes into a "<file>:Zone.Identifier" sibling file,
// since posix has no alternate streams. `free_space_override` lets tests pretend a full disk.
class PosixDestination final : public Destination {
public:
    explicit PosixDestination(std::string root);

    Status create_folder(const std::string& path) override;
    Existing exists(const std::string& path) override;
    std::unique_ptr<OutputFile> open_file(const std::string& path, Status& status) override;
    std::optional<std::uint64_t> free_space() override;

    std::optional<std::uint64_t> free_space_override;

private:
    std::string full(const std::string& path) const;
    std::string root_;
};

} // namespace kzsfx
