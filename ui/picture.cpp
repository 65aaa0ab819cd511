// Decoding a PNG picture with libpng's simplified reading interface.
#include "ui/picture.h"

#include <png.h>

namespace quillet {
namespace {

// Bounds a picture may have: a corrupt header must not ask for gigabytes.
constexpr png_uint_32 kLargestSide = 8192;

// Frees libpng's state for the image whichever way the decoding ends.
class PngImage {
 public:
  PngImage() { image_.version = PNG_IMAGE_VERSION; }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
  ~PngImage() { png_image_free(&image_); }
  png_image* get() { return &image_; }

 private:
  png_image image_{};
};

}  // namespace

std::optional<Picture> DecodePicture(std::span<const std::uint8_t> png) {
  if (png.empty()) return std::nullopt;
  PngImage image;
  if (!png_image_begin_read_from_memory(image.get(), png.data(), png.size())) return std::nullopt;
  png_image& header = *image.get();
  if (header.width == 0 || header.height == 0 || header.width > kLargestSide ||
      header.height > kLargestSide) {
    return std::nullopt;
  }
  header.format = PNG_FORMAT_BGRA;
  Picture picture;
  picture.width = static_cast<std::int32_t>(header.width);
  picture.height = static_cast<std::int32_t>(header.height);
  picture.pixels.resize(PNG_IMAGE_SIZE(header));
  // Row stride 0: rows from the top, each exactly the width's worth of pixels.
  if (!png_image_finish_read(image.get(), nullptr, picture.pixels.data(), 0, nullptr)) {
    return std::nullopt;
  }
  return picture;
}

}  // namespace quillet
