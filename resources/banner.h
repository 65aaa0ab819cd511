// The main window's banner picture: the bytes of resources/banner.png, embedded at build time.
#pragma once

#include <cstdint>
#include <span>

namespace quillet {

std::span<const std::uint8_t> BannerPng();

}  // namespace quillet
