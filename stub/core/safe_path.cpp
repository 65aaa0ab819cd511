// Entry-name checks: everything Windows could resolve outside the destination, or to a device,
// is refused here, once, before any file operation sees the name.
#include "stub/core/safe_path.h"

#include <array>
#include <string_view>

#include "stub/core/invisible_code_points.h"
#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Windows opens a device for these whatever extension follows ("nul.txt", "CON .log").
bool IsDeviceName(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kFixed = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  for (auto name : kFixed)
    if (EqualsIgnoringAsciiCase(base, name)) return true;
  for (std::string_view prefix : {std::string_view("COM"), std::string_view("LPT")}) {
    if (base.size() < 4 || !EqualsIgnoringAsciiCase(base.substr(0, 3), prefix)) continue;
    std::string_view digit = base.substr(3);
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
    // Superscript one, two and three count as digits to Windows.
    if (digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3") return true;
  }
  return false;
}

PathRefusal CheckComponent(std::string_view component) {
  if (component == "..") return PathRefusal::kParentReference;
  for (char c : component) {
    if (c == ':') return PathRefusal::kStreamColon;
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return PathRefusal::kInvalidCharacter;
  }
  // Characters that show nothing or reorder what follows, so that a name reads as something
  // it is not ("photo<U+202E>gpj.exe" shows as "photoexe.jpg").
  if (utf8::AnyCodePoint(component, IsInvisibleCodePoint)) return PathRefusal::kHiddenCharacter;
  if (component.back() == '.' || component.back() == ' ') return PathRefusal::kTrailingDotOrSpace;
  if (IsDeviceName(component)) return PathRefusal::kDeviceName;
  if (utf8::Utf16Length(component) > 255) return PathRefusal::kTooLong;
  return PathRefusal::kNone;
}

}  // namespace

std::string SafePath::Joined() const {
  std::string out;
  for (const auto& c : components) {
    if (!out.empty()) out += '/';
    out += c;
  }
  return out;
}

SafePath CheckEntryPath(std::string_view name) {
  SafePath result;
  auto refuse = [&](PathRefusal why) {
    result.refusal = why;
    result.components.clear();
    return result;
  };
  if (!utf8::Valid(name)) return refuse(PathRefusal::kNotUtf8);
  if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1]))
    return refuse(PathRefusal::kUnc);
  if (!name.empty() && IsSeparator(name[0])) return refuse(PathRefusal::kAbsolute);
  if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':')
    return refuse(PathRefusal::kDriveLetter);

  result.directory = !name.empty() && IsSeparator(name.back());
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::string_view component = name.substr(start, end - start);
    if (!component.empty() && component != ".") {
      if (result.components.size() == kMaxPathDepth) return refuse(PathRefusal::kTooDeep);
      if (auto why = CheckComponent(component); why != PathRefusal::kNone) return refuse(why);
      result.components.emplace_back(component);
    }
    start = end + 1;
  }
  if (result.components.empty()) return refuse(PathRefusal::kEmpty);
  return result;
}

const char* Describe(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::kNone:
      return "safe";
    case PathRefusal::kEmpty:
      return "empty name";
    case PathRefusal::kNotUtf8:
      return "name cannot be decoded";
    case PathRefusal::kAbsolute:
      return "absolute path";
    case PathRefusal::kDriveLetter:
      return "drive letter";
    case PathRefusal::kUnc:
      return "network or device path";
    case PathRefusal::kParentReference:
      return "'..' component";
    case PathRefusal::kStreamColon:
      return "':' in name";
    case PathRefusal::kInvalidCharacter:
      return "character not allowed in file names";
    case PathRefusal::kHiddenCharacter:
      return "invisible or text-direction character";
    case PathRefusal::kDeviceName:
      return "reserved device name";
    case PathRefusal::kTrailingDotOrSpace:
      return "name ends with a dot or space";
    case PathRefusal::kTooLong:
      return "name component too long";
    case PathRefusal::kTooDeep:
      return "too many nested folders";
    case PathRefusal::kShortNameAlias:
      return "another file's short name";
  }
  return "unknown";
}

}  // namespace kzsfx
