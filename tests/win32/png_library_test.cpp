// The read-only libpng of scripts/build-deps (scripts/libpng-read.dfa): the simplified memory
// reader must still turn the banner's kind of PNG into exact BGRA rows, skip the chunks the
// configuration leaves out, and fail cleanly on damaged data.
#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutBig32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AddChunk(Bytes& png, const char* type, const Bytes& data) {
  PutBig32(png, static_cast<std::uint32_t>(data.size()));
  const Bytes typeBytes(type, type + 4);
  png.insert(png.end(), typeBytes.begin(), typeBytes.end());
  png.insert(png.end(), data.begin(), data.end());
  uLong crc = crc32(0, typeBytes.data(), 4);
  crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  PutBig32(png, static_cast<std::uint32_t>(crc));
}

Bytes Deflate(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct Picture {
  std::uint32_t width, height;
  std::uint8_t bitDepth, colourType;
  Bytes rows;                                              // packed samples, no filter bytes
  std::vector<std::pair<const char*, Bytes>> extraChunks;  // between IHDR and IDAT
};

Bytes EncodePng(const Picture& p) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBig32(header, p.width);
  PutBig32(header, p.height);
  header.insert(header.end(), {p.bitDepth, p.colourType, 0, 0, 0});
  AddChunk(png, "IHDR", header);
  for (const auto& [type, data] : p.extraChunks) AddChunk(png, type, data);
  const std::size_t stride = p.rows.size() / p.height;
  Bytes filtered;
  for (std::uint32_t y = 0; y < p.height; ++y) {
    filtered.push_back(0);  // filter type None
    filtered.insert(filtered.end(), p.rows.begin() + y * stride, p.rows.begin() + (y + 1) * stride);
  }
  AddChunk(png, "IDAT", Deflate(filtered));
  AddChunk(png, "IEND", {});
  return png;
}

Bytes Noise(std::size_t size, std::uint32_t seed) {
  Bytes out(size);
  for (auto& byte : out) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(seed >> 16);
  }
  return out;
}

// Decodes like the main window does; empty on failure, with libpng's message kept.
Bytes DecodeBgra(const Bytes& png, std::string& message, png_uint_32* width = nullptr) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
    message = image.message;
    return {};
  }
  image.format = PNG_FORMAT_BGRA;
  Bytes pixels(PNG_IMAGE_SIZE(image));
  if (width) *width = image.width;
  const int ok =
      png_image_finish_read(&image, nullptr, pixels.data(),
                            static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image)), nullptr);
  message = image.message;
  png_image_free(&image);
  return ok ? pixels : Bytes{};
}

TEST(PngLibrary, ReadsABannerLikeRgbaPictureExactlyAsBgra) {
  // The banner's shape and chunk set: 278 x 127 RGBA, ICC profile, chromaticities, 300 dpi,
  // XMP text. Without gAMA the 8-bit samples pass through unchanged.
  Bytes iccp = Text("ICC profile");
  iccp.insert(iccp.end(), {0, 0});
  const Bytes profile = Deflate(Noise(600, 7));
  iccp.insert(iccp.end(), profile.begin(), profile.end());
  Bytes chrm;
  for (std::uint32_t v : {31270u, 32900u, 64000u, 33000u, 30000u, 60000u, 15000u, 6000u})
    PutBig32(chrm, v);
  Bytes phys;
  PutBig32(phys, 11811);
  PutBig32(phys, 11811);
  phys.push_back(1);
  Bytes itxt = Text("XML:com.adobe.xmp");
  itxt.insert(itxt.end(), 5, 0);
  const Bytes xmp = Text("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>");
  itxt.insert(itxt.end(), xmp.begin(), xmp.end());

  const Picture picture{278,
                        127,
                        8,
                        6,
                        Noise(278 * 127 * 4, 42),
                        {{"iCCP", iccp}, {"cHRM", chrm}, {"pHYs", phys}, {"iTXt", itxt}}};
  std::string message;
  png_uint_32 width = 0;
  const Bytes pixels = DecodeBgra(EncodePng(picture), message, &width);
  ASSERT_EQ(pixels.size(), picture.rows.size()) << message;
  EXPECT_EQ(width, 278u);
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    const bool same = pixels[i] == picture.rows[i + 2] && pixels[i + 1] == picture.rows[i + 1] &&
                      pixels[i + 2] == picture.rows[i] && pixels[i + 3] == picture.rows[i + 3];
    wrong += same ? 0 : 1;
  }
  EXPECT_EQ(wrong, 0u) << "pixels differ from the RGBA input in BGRA order";
}

TEST(PngLibrary, ExpandsPaletteAndGreyPicturesToBgra) {
  struct Case {
    const char* label;
    Picture picture;
    std::vector<std::uint8_t> expectedFirstPixels;  // BGRA of pixels (0,0) and (1,0)
  };
  Bytes palette = {10, 20, 30, 200, 100, 50};
  const Case cases[] = {
      // 4-bit palette, entry 1 then entry 0, entry 1 half transparent through tRNS.
      {"palette with tRNS",
       {2, 1, 4, 3, {0x10}, {{"PLTE", palette}, {"tRNS", {255, 128}}}},
       {50, 100, 200, 128, 30, 20, 10, 255}},
      {"grey with alpha", {2, 1, 8, 4, {77, 255, 200, 0}, {}}, {77, 77, 77, 255, 200, 200, 200, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string message;
    const Bytes pixels = DecodeBgra(EncodePng(c.picture), message);
    ASSERT_EQ(pixels.size(), 8u) << message;
    EXPECT_EQ(pixels, Bytes(c.expectedFirstPixels));
  }
}

TEST(PngLibrary, FailsCleanlyOnDamagedData) {
  const Picture picture{16, 16, 8, 6, Noise(16 * 16 * 4, 3), {}};
  const Bytes good = EncodePng(picture);
  std::string message;
  ASSERT_FALSE(DecodeBgra(good, message).empty()) << message;

  struct Case {
    const char* label;
    Bytes png;
  };
  Bytes badCrc = good;
  badCrc[8 + 8 + 13] ^= 0xFF;  // the IHDR chunk's CRC
  Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
  Bytes notPng = good;
  notPng[1] = 'Q';
  const Case cases[] = {
      {"header CRC", badCrc}, {"cut in IDAT", cut}, {"signature", notPng}, {"empty", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    message.clear();
    EXPECT_TRUE(DecodeBgra(c.png, message).empty());
    EXPECT_FALSE(message.empty()) << "error texts are compiled in";
  }
}

}  // namespace
