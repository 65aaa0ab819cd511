// Entry-name checks: everything Windows could resolve outside the destination, or to a device,
// is refused here, once, before any file operation sees the name.
#include "stub/core/safe_path.h"

#include <array>
#include <string_view>

#include "stub/core/invisible_code_points.h"
#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool equals_ignoring_ascii_case(std::string_view a, std::string_view b) {
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
bool is_device_name(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> fixed = {"CON", "PRN",    "AUX",
                                                            "NUL", "CONIN$", "CONOUT$"};
  for (auto name : fixed)
    if (equals_ignoring_ascii_case(base, name)) return true;
  for (std::string_view prefix : {std::string_view("COM"), std::string_view("LPT")}) {
    if (base.size() < 4 || !equals_ignoring_ascii_case(base.substr(0, 3), prefix)) continue;
    std::string_view digit = base.substr(3);
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return true;
    // Superscript one, two and three count as digits to Windows.
    if (digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3") return true;
  }
  return false;
}

PathRefusal check_component(std::string_view component) {
  if (component == "..") return PathRefusal::parent_reference;
  for (char c : component) {
    if (c == ':') return PathRefusal::stream_colon;
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return PathRefusal::invalid_character;
  }
  // Characters that show nothing or reorder what follows, so that a name reads as something
  // it is not ("photo<U+202E>gpj.exe" shows as "photoexe.jpg").
  if (utf8::any_code_point(component, IsInvisibleCodePoint)) return PathRefusal::hidden_character;
  if (component.back() == '.' || component.back() == ' ') return PathRefusal::trailing_dot_or_space;
  if (is_device_name(component)) return PathRefusal::device_name;
  if (utf8::utf16_length(component) > 255) return PathRefusal::too_long;
  return PathRefusal::none;
}

}  // namespace

std::string SafePath::joined() const {
  std::string out;
  for (const auto& c : components) {
    if (!out.empty()) out += '/';
    out += c;
  }
  return out;
}

SafePath check_entry_path(std::string_view name) {
  SafePath result;
  auto refuse = [&](PathRefusal why) {
    result.refusal = why;
    result.components.clear();
    return result;
  };
  if (!utf8::valid(name)) return refuse(PathRefusal::not_utf8);
  if (name.size() >= 2 && is_separator(name[0]) && is_separator(name[1]))
    return refuse(PathRefusal::unc);
  if (!name.empty() && is_separator(name[0])) return refuse(PathRefusal::absolute);
  if (name.size() >= 2 && is_ascii_letter(name[0]) && name[1] == ':')
    return refuse(PathRefusal::drive_letter);

  result.directory = !name.empty() && is_separator(name.back());
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !is_separator(name[end])) ++end;
    std::string_view component = name.substr(start, end - start);
    if (!component.empty() && component != ".") {
      if (result.components.size() == max_path_depth) return refuse(PathRefusal::too_deep);
      if (auto why = check_component(component); why != PathRefusal::none) return refuse(why);
      result.components.emplace_back(component);
    }
    start = end + 1;
  }
  if (result.components.empty()) return refuse(PathRefusal::empty);
  return result;
}

const char* describe(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::none:
      return "safe";
    case PathRefusal::empty:
      return "empty name";
    case PathRefusal::not_utf8:
      return "name cannot be decoded";
    case PathRefusal::absolute:
      return "absolute path";
    case PathRefusal::drive_letter:
      return "drive letter";
    case PathRefusal::unc:
      return "network or device path";
    case PathRefusal::parent_reference:
      return "'..' component";
    case PathRefusal::stream_colon:
      return "':' in name";
    case PathRefusal::invalid_character:
      return "character not allowed in file names";
    case PathRefusal::hidden_character:
      return "invisible or text-direction character";
    case PathRefusal::device_name:
      return "reserved device name";
    case PathRefusal::trailing_dot_or_space:
      return "name ends with a dot or space";
    case PathRefusal::too_long:
      return "name component too long";
    case PathRefusal::too_deep:
      return "too many nested folders";
    case PathRefusal::short_name_alias:
      return "another file's short name";
  }
  return "unknown";
}

}  // namespace kzsfx
