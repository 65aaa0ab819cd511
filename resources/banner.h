// The main window's banner picture: the bytes of resources/banner.png, embedded at build time.
#pragma once

#include <cstdint>
#include <span>

// Bounds of the embedded picture, defined by the generated banner_png.S.
extern "C" const std::uint8_t quillet_banner_png_begin[];
extern "C" const std::uint8_t quillet_banner_png_end[];

namespace quillet {

inline std::span<const std::uint8_t> BannerPng() {
  return {quillet_banner_png_begin, quillet_banner_png_end};
}

}  // namespace quillet
