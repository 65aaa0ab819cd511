// pe_image_end FILE: prints where the PE image in FILE ends, by the very reader the stub uses to
// find its appended archive. A host program: the build runs it on the cross-built stub.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "stub/core/pe_image.h"

namespace {

class FileBytes final : public kzsfx::ByteSource {
 public:
  explicit FileBytes(std::vector<char> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                    std::size_t count) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(count, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::vector<char> bytes_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pe_image_end FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "pe_image_end: cannot read %s\n", argv[1]);
    return 1;
  }
  FileBytes file({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  const kzsfx::ImageEnd end = kzsfx::FindImageEnd(file);
  if (!end.ok) {
    std::fprintf(stderr, "pe_image_end: %s: %s\n", argv[1], end.error.c_str());
    return 1;
  }
  std::printf("%llu\n", static_cast<unsigned long long>(end.offset));
  return 0;
}
