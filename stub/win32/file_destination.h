// The destination folder on Windows: W calls only, one component at a time, never through a
// link that could lead outside the folder.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "stub/core/destination.h"

namespace kzsfx::win32 {

// `folder` made absolute (against the current folder) in the "\\?\" form, which lifts the
// 260-character limit and stops Windows from rewriting names. Empty when it cannot be made.
std::wstring absolute_long_path(const std::wstring& folder);

// The platform's message for an error code, without the trailing line break.
std::string system_message(unsigned long error);

class FileDestination final : public Destination {
public:
    // `root` as absolute_long_path gives it.
    explicit FileDestination(std::wstring root);

    // Creates the destination folder itself and its missing parents.
    Status create_root();

    Status create_folder(const std::string& path) override;
    Existing exists(const std::string& path) override;
    std::unique_ptr<OutputFile> open_file(const std::string& path, Status& status) override;
    std::optional<std::uint64_t> free_space() override;

    const std::wstring& root() const { return root_; }

private:
    std::wstring full(const std::string& path) const;
    std::wstring root_;
};

}  // namespace kzsfx::win32
