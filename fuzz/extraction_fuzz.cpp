// libFuzzer target for the self-extractor core: entry-name safety, the PE image end, the zip
// central directory walk, and listing plus testing of whatever bytes follow a PE head.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "stub/core/engine.h"
#include "stub/core/pe_image.h"
#include "stub/core/safe_path.h"
#include "stub/core/zip_names.h"

namespace {

class Bytes final : public kzsfx::ByteSource {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    std::optional<std::size_t> read_at(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        if (offset >= size_)
            return 0;
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

void check_path(std::string_view name)
{
    kzsfx::SafePath path = kzsfx::check_entry_path(name);
    if (!path.ok())
        return;
    if (path.components.empty())
        std::abort();
    for (const auto& c : path.components)
        if (c.empty() || c == "." || c == ".." || c.find_first_of("/\\:") != std::string::npos ||
            c.back() == '.' || c.back() == ' ')
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    check_path(std::string_view(reinterpret_cast<const char*>(data), size));

    Bytes whole(data, size);
    kzsfx::ImageEnd end = kzsfx::find_image_end(whole);
    if (end.ok && end.offset > size)
        std::abort();

    // The same bytes as an appended archive: everything is read, nothing is written.
    auto names = kzsfx::read_zip_names(whole, 0);
    if (names && names->size() > size / 46)
        std::abort();
    Quiet observer;
    kzsfx::Options options;
    options.test_only = true;
    kzsfx::Listing listing = kzsfx::list_archive(whole, 0, options, observer);
    if (listing.fatal == kzsfx::Fatal::none) {
        kzsfx::ExtractResult result = kzsfx::extract_archive(whole, 0, nullptr, options, observer, &listing);
        // What the free-space check trusted is never exceeded, however damaged the archive.
        if (result.bytes > listing.declared_total || result.files > listing.entries)
            std::abort();
        for (const auto& refused : result.refused)
            if (refused.refusal == kzsfx::PathRefusal::none)
                std::abort();
    }
    return 0;
}
