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
  const int ansiLength = ::WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide.data(), wideLength,
                                               nullptr, 0, nullptr, nullptr);
  if (ansiLength <= 0) return {};
  std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, wide.data(), wideLength, ansi.data(), ansiLength,
                        nullptr, nullptr);
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
    while (end <= size - unit && std::any_of(bytes + end, bytes + end + unit,
                                             [](std::uint8_t b) { return b != 0; })) {
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
  const UINT count = ::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT index = 0; index < count; ++index) {
    // Sized per path from the reported length: no fixed path limit.
    const UINT length = ::DragQueryFileA(drop, index, nullptr, 0);
    std::string path(static_cast<std::size_t>(length) + 1, '\0');
    const UINT copied = ::DragQueryFileA(drop, index, path.data(), length + 1);
    path.resize(std::min(copied, length));
    paths.push_back(std::move(path));
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
    case DropKind::kText: return CF_TEXT;
    case DropKind::kHtml: return html;
    case DropKind::kUrl: return url;
    case DropKind::kFiles: return CF_HDROP;
  }
  return 0;
}

bool OffersKind(IDataObject& data, DropKind kind, const DropFormats& formats) {
  FORMATETC request = FormatFor(formats.Of(kind));
  return data.QueryGetData(&request) == S_OK;
}

std::optional<Text> ReadDroppedKind(IDataObject& data, DropKind kind, const DropFormats& formats) {
  switch (kind) {
    case DropKind::kText: return ReadPlainText(data, formats);
    case DropKind::kHtml: return ReadHtml(data, formats);
    case DropKind::kUrl: return ReadTextFormat(data, formats.url);
    case DropKind::kFiles: return ReadFileList(data);
  }
  return std::nullopt;
}

}  // namespace quillet
