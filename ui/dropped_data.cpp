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
#include "ui/dropped_names.h"
#include "ui/file_list.h"

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
std::optional<std::string> ExactAnsiCharacter(std::u16string_view character) {
  const auto* units = reinterpret_cast<const wchar_t*>(character.data());
  const int length = static_cast<int>(character.size());
  char bytes[8];
  BOOL usedDefault = FALSE;
  const int count = ::WideCharToMultiByte(CP_ACP, kNoBestFit, units, length, bytes,
                                          static_cast<int>(sizeof bytes), nullptr, &usedDefault);
  if (count <= 0 || usedDefault) return std::nullopt;
  wchar_t back[4];
  const int backCount = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, count, back, 4);
  if (std::wstring_view(back, backCount > 0 ? static_cast<std::size_t>(backCount) : 0) !=
      std::wstring_view(units, character.size())) {
    return std::nullopt;
  }
  return std::string(bytes, static_cast<std::size_t>(count));
}

// A path of an ANSI file list, as DragQueryFileW would give it.
std::u16string AnsiToWide(std::string_view ansi) {
  if (ansi.empty() || ansi.size() > INT_MAX / 2) return {};
  const int length = static_cast<int>(ansi.size());
  const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(wideLength), u'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(wide.data()),
                        wideLength);
  return wide;
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

// Read within the block, not with DragQueryFileA, which converts with best-fit mapping, nor
// DragQueryFileW, which trusts the block to hold its terminators.
std::optional<Text> ReadDroppedFiles(IDataObject& data) {
  AutoStgMedium medium;
  if (!GetGlobal(data, CF_HDROP, medium) || !medium.Global()) return std::nullopt;
  std::optional<std::vector<std::u16string>> paths;
  {
    GlobalLockScope lock(medium.Global());
    if (!lock.data()) return std::nullopt;
    paths = ReadFileList(std::span(static_cast<const std::uint8_t*>(lock.data()), lock.size()),
                         &AnsiToWide);
  }
  medium.Reset();
  if (!paths) return std::nullopt;
  std::vector<std::string> ansi;
  for (const std::u16string& path : *paths) ansi.push_back(PathToAnsi(path, &ExactAnsiCharacter));
  return Text(std::string_view(JoinDroppedPaths(ansi)));
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
      return ReadDroppedFiles(data);
  }
  return std::nullopt;
}

}  // namespace quillet
