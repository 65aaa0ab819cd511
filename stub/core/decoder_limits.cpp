// liblzma's decoders started with kDecoderMemoryLimit, whoever starts them.
#include "stub/core/decoder_limits.h"

#include <lzma.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace kzsfx {

namespace {

thread_local std::optional<std::uint64_t> refused_memory;

}  // namespace

void NoteRefusedDecoderMemory(std::uint64_t asked) { refused_memory = asked; }

std::optional<std::uint64_t> TakeRefusedDecoderMemory() {
  return std::exchange(refused_memory, std::nullopt);
}

std::string DescribeRefusedDecoderMemory(std::uint64_t asked) {
  return "the entry's decoder asks for " +
         (asked == UINT64_MAX ? std::string("more than that") : std::to_string(asked)) +
         " bytes of memory (at most " + std::to_string(kDecoderMemoryLimit) + " allowed)";
}

}  // namespace kzsfx

// libarchive's calls into liblzma land here. On Windows both are static libraries: the
// linker's --wrap sends libarchive's calls to the __wrap_ names and gives the library's own
// functions the __real_ names. Natively libarchive is a shared library, whose calls the
// program's own definitions of the same names take first; the library's come next in line.
#ifdef _WIN32
#define KZSFX_LZMA_HOOK(name) __wrap_##name
#define KZSFX_LZMA_REAL(name) __real_##name
extern "C" {
void* __real_malloc(size_t size);
void* __real_realloc(void* block, size_t size);
lzma_ret __real_lzma_stream_decoder(lzma_stream* strm, uint64_t memlimit, uint32_t flags);
lzma_ret __real_lzma_alone_decoder(lzma_stream* strm, uint64_t memlimit);
lzma_ret __real_lzma_raw_decoder(lzma_stream* strm, const lzma_filter* filters);
lzma_ret __real_lzma_code(lzma_stream* strm, lzma_action action);
}
#else
#define KZSFX_LZMA_HOOK(name) name
#define KZSFX_LZMA_REAL(name) (*kzsfx_next_definition(&name, #name))
namespace {
template <typename Function>
Function* kzsfx_next_definition(Function*, const char* name) {
  return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}
}  // namespace
#endif

extern "C" {

lzma_ret KZSFX_LZMA_HOOK(lzma_stream_decoder)(lzma_stream* strm, uint64_t memlimit,
                                              uint32_t flags) {
  static auto* const kReal = &KZSFX_LZMA_REAL(lzma_stream_decoder);
  return kReal(strm, std::min<uint64_t>(memlimit, kzsfx::kDecoderMemoryLimit), flags);
}

lzma_ret KZSFX_LZMA_HOOK(lzma_alone_decoder)(lzma_stream* strm, uint64_t memlimit) {
  static auto* const kReal = &KZSFX_LZMA_REAL(lzma_alone_decoder);
  return kReal(strm, std::min<uint64_t>(memlimit, kzsfx::kDecoderMemoryLimit));
}

// A raw decoder takes no limit: its filters say what it needs before it allocates anything.
lzma_ret KZSFX_LZMA_HOOK(lzma_raw_decoder)(lzma_stream* strm, const lzma_filter* filters) {
  static auto* const kReal = &KZSFX_LZMA_REAL(lzma_raw_decoder);
  const uint64_t asked = lzma_raw_decoder_memusage(filters);
  if (asked > kzsfx::kDecoderMemoryLimit) {
    kzsfx::NoteRefusedDecoderMemory(asked);
    return LZMA_MEMLIMIT_ERROR;
  }
  return kReal(strm, filters);
}

lzma_ret KZSFX_LZMA_HOOK(lzma_code)(lzma_stream* strm, lzma_action action) {
  static auto* const kReal = &KZSFX_LZMA_REAL(lzma_code);
  const lzma_ret result = kReal(strm, action);
  // After this error the decoder says what it would have needed.
  if (result == LZMA_MEMLIMIT_ERROR) kzsfx::NoteRefusedDecoderMemory(lzma_memusage(strm));
  return result;
}

#ifdef _WIN32
// libarchive's own decoders (7z's PPMd model, its BCJ2 streams) take a size from the header
// to malloc as it stands: up to 4 GiB. No block the stub needs comes near the decoder limit,
// so none larger is handed out, and the refusal is the entry's, not the machine's.
void* __wrap_malloc(size_t size) {
  if (size > kzsfx::kDecoderMemoryLimit) {
    kzsfx::NoteRefusedDecoderMemory(size);
    errno = ENOMEM;
    return nullptr;
  }
  return __real_malloc(size);
}

void* __wrap_realloc(void* block, size_t size) {
  if (size > kzsfx::kDecoderMemoryLimit) {
    kzsfx::NoteRefusedDecoderMemory(size);
    errno = ENOMEM;
    return nullptr;
  }
  return __real_realloc(block, size);
}
#endif

}  // extern "C"
