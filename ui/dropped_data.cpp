// Reading dragged data: plain text, HTML converted to the ANSI code page, URLs and file lists.
// Every block is read within the size its memory reports, whatever the source wrote into it.
#include "ui/dropped_data.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/win32_handles.h"

namespace quillet {

namespace {

FORMATETC FormatFor(CLIPFORMAT format) {
  return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// GetData for the format; the medium stays empty when the call fails.
bool GetGlobal(IDataObject& data, CLIPFORMAT format, AutoStgMedium& medium) {
  FORMATETC request = FormatFor(format);
  return data.GetData(&request, medium.Put()) == S_OK;
}

// The block's bytes up to the first NUL, or up to its end when the source wrote no NUL.
std::optional<std::string> ReadBlockBytes(HGLOBAL block) {
  GlobalLockScope lock(block);
  if (!lock.data()) return std::nullopt;
  const char* bytes = static_cast<const char*>(lock.data());
  const void* nul = std::memchr(bytes, 0, lock.size());
  const std::size_t length =
      nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : lock.size();
  return std::string(bytes, length);
}

std::optional<Text> ReadTextFormat(IDataObject& data, CLIPFORMAT format) {
  AutoStgMedium medium;
  if (!GetGlobal(data, format, medium)) return std::nullopt;
  std::optional<std::string> bytes = ReadBlockBytes(medium.Global());
  medium.Reset();
  if (!bytes) return std::nullopt;
  return Text(std::string_view(*bytes));
}

// Best-fit mapping would turn lookalikes into the characters they imitate: U+FF02 into the
// quotation mark, U+FF3C and U+2215 into the backslash and the slash. With WC_NO_BEST_FIT_CHARS
// such a character becomes the code page's default character instead.
constexpr DWORD kNoBestFit = WC_NO_BEST_FIT_CHARS;

// UTF-8 to UTF-16, no-break spaces to spaces, then to the ANSI code page. Both conversions are
// measured first, so no character count can outgrow its buffer.
std::string HtmlToAnsi(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX / 2) return {};
  const int utf8Length = static_cast<int>(utf8.size());
  const int wideLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, wide.data(), wideLength);
  std::replace(wide.begin(), wide.end(), L'\u00A0', L' ');
  constexpr DWORD flags = WC_COMPOSITECHECK | kNoBestFit;
  const int ansiLength =
      ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (ansiLength <= 0) return {};
  std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, ansi.data(), ansiLength, nullptr,
                        nullptr);
  return ansi;
}

// One character (a surrogate pair counts as one) in the ANSI code page, or nothing when the
// code page has no exact equivalent: the default character was needed or the bytes do not
// read back as the same character.
std::optional<std::string> ExactAnsiCharacter(std::wstring_view character) {
  const int length = static_cast<int>(character.size());
  char bytes[8];
  BOOL usedDefault = FALSE;
  const int count = ::WideCharToMultiByte(CP_ACP, kNoBestFit, character.data(), length, bytes,
                                          static_cast<int>(sizeof bytes), nullptr, &usedDefault);
  if (count <= 0 || usedDefault) return std::nullopt;
  wchar_t back[4];
  const int backCount = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, count, back, 4);
  if (std::wstring_view(back, backCount > 0 ? static_cast<std::size_t>(backCount) : 0) !=
      character) {
    return std::nullopt;
  }
  return std::string(bytes, static_cast<std::size_t>(count));
}

// A dropped path in the ANSI code page, character by character. A character without an exact
// equivalent becomes "?", which no file name holds, so the converter refuses the name rather
// than work on a different one.
std::string PathToAnsi(std::wstring_view path) {
  std::string ansi;
  for (std::size_t at = 0; at < path.size();) {
    const bool pair =
        IS_HIGH_SURROGATE(path[at]) && at + 1 < path.size() && IS_LOW_SURROGATE(path[at + 1]);
    const std::size_t units = pair ? 2 : 1;
    const std::optional<std::string> bytes = ExactAnsiCharacter(path.substr(at, units));
    ansi += bytes ? *bytes : "?";
    at += units;
  }
  return ansi;
}

std::optional<Text> ReadHtml(IDataObject& data, const DropFormats& formats) {
  AutoStgMedium medium;
  if (!GetGlobal(data, formats.html, medium)) return std::nullopt;
  std::optional<std::string> utf8 = ReadBlockBytes(medium.Global());
  medium.Reset();
  if (!utf8) return std::nullopt;
  return Text(std::string_view(HtmlToAnsi(*utf8)));
}

std::optional<Text> ReadPlainText(IDataObject& data, const DropFormats& formats) {
  // A selection that carries HTML is left to the HTML kind, even when that kind is off.
  AutoStgMedium html;
  if (GetGlobal(data, formats.html, html)) return std::nullopt;
  return ReadTextFormat(data, CF_TEXT);
}

// Walks the list as DragQueryFile would, but within the block: every entry, and the empty
// entry that ends the list, must lie inside it.
bool IsWellFormedFileList(const void* block, std::size_t size) {
  DROPFILES header;
  if (size < sizeof header) return false;
  std::memcpy(&header, block, sizeof header);
  const std::size_t unit = header.fWide ? sizeof(WCHAR) : 1;
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  for (std::size_t at = header.pFiles; at <= size - unit;) {
    std::size_t end = at;
    while (end <= size - unit &&
           std::any_of(bytes + end, bytes + end + unit, [](std::uint8_t b) { return b != 0; })) {
      end += unit;
    }
    if (end > size - unit) return false;  // no terminator inside the block
    if (end == at) return true;           // the empty entry ends the list
    at = end + unit;
  }
  return false;
}

std::optional<Text> ReadFileList(IDataObject& data) {
  AutoStgMedium medium;
  if (!GetGlobal(data, CF_HDROP, medium) || !medium.Global()) return std::nullopt;
  {
    GlobalLockScope lock(medium.Global());
    if (!lock.data() || !IsWellFormedFileList(lock.data(), lock.size())) return std::nullopt;
  }
  auto drop = static_cast<HDROP>(medium.Global());
  std::vector<std::string> paths;
  // Read wide and converted here: DragQueryFileA would convert with best-fit mapping.
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT index = 0; index < count; ++index) {
    // Sized per path from the reported length: no fixed path limit.
    const UINT length = ::DragQueryFileW(drop, index, nullptr, 0);
    std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT copied = ::DragQueryFileW(drop, index, path.data(), length + 1);
    path.resize(std::min(copied, length));
    paths.push_back(PathToAnsi(path));
  }
  medium.Reset();

  if (paths.size() == 1) return Text(std::string_view(paths.front()));
  std::string joined;
  for (const std::string& path : paths) {
    joined += path;
    joined += "\r\n";
  }
  return Text(std::string_view(joined));
}

}  // namespace

DropFormats DropFormats::Register() {
  return DropFormats{static_cast<CLIPFORMAT>(::RegisterClipboardFormatA("HTML Format")),
                     static_cast<CLIPFORMAT>(::RegisterClipboardFormatA("UniformResourceLocator"))};
}

CLIPFORMAT DropFormats::Of(DropKind kind) const {
  switch (kind) {
    case DropKind::kText:
      return CF_TEXT;
    case DropKind::kHtml:
      return html;
    case DropKind::kUrl:
      return url;
    case DropKind::kFiles:
      return CF_HDROP;
  }
  return 0;
}

bool OffersKind(IDataObject& data, DropKind kind, const DropFormats& formats) {
  FORMATETC request = FormatFor(formats.Of(kind));
  return data.QueryGetData(&request) == S_OK;
}

std::optional<Text> ReadDroppedKind(IDataObject& data, DropKind kind, const DropFormats& formats) {
  switch (kind) {
    case DropKind::kText:
      return ReadPlainText(data, formats);
    case DropKind::kHtml:
      return ReadHtml(data, formats);
    case DropKind::kUrl:
      return ReadTextFormat(data, formats.url);
    case DropKind::kFiles:
      return ReadFileList(data);
  }
  return std::nullopt;
}

}  // namespace quillet
