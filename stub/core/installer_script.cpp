// Reading the installer script: one command a line, every line accounted for, the first fault
// named with its line so that nothing runs on a script its author did not mean.
#include "stub/core/installer_script.h"

#include <array>
#include <utility>

namespace kzsfx {
namespace {

constexpr std::string_view kMarker = ";kzsfx";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         EqualsIgnoringCase(text.substr(text.size() - end.size()), end);
}

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    text.remove_prefix(kByteOrderMark.size());
  return text;
}

// Lines end with LF, CR LF or CR alone (what old Mac tools and some comment boxes write).
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

struct FolderName {
  std::string_view name;
  KnownFolder folder;
};
constexpr std::array<FolderName, 6> kFolderNames = {{
    {"%ProgramFiles%", KnownFolder::kProgramFiles},
    {"%LOCALAPPDATA%", KnownFolder::kLocalAppData},
    {"%APPDATA%", KnownFolder::kAppData},
    {"%TEMP%", KnownFolder::kTemp},
    {"%USERPROFILE%", KnownFolder::kUserProfile},
    {"%PUBLIC%", KnownFolder::kPublic},
}};

std::optional<ScriptPath> ReadPath(std::string_view value) {
  if (value.empty() || value.front() != '%')
    return ScriptPath{KnownFolder::kNone, std::string(value)};
  for (const FolderName& known : kFolderNames) {
    if (value.size() < known.name.size() ||
        !EqualsIgnoringCase(value.substr(0, known.name.size()), known.name))
      continue;
    std::string_view rest = value.substr(known.name.size());
    if (!rest.empty() && rest.front() != '\\' && rest.front() != '/') return std::nullopt;
    return ScriptPath{known.folder, std::string(rest)};
  }
  return std::nullopt;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// What stands before a path's folders: "D:\", "\\server\share\", or nothing.
std::size_t RootLength(std::string_view path) {
  const bool letter = !path.empty() && AsciiLower(path[0]) >= 'a' && AsciiLower(path[0]) <= 'z';
  if (path.size() >= 3 && letter && path[1] == ':' && IsSeparator(path[2])) return 3;
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
  std::size_t at = 2;
  for (int part = 0; part < 2; ++part) {
    while (at < path.size() && !IsSeparator(path[at])) ++at;
    if (at == path.size()) return at;
    ++at;
  }
  return at;
}

// Below its root (a known folder, a drive, a share, or the exe's folder), Path is held to the
// rules of an entry's name: it cannot go up, name a stream or a device, or hide characters
// that would make the start page show another folder than the one written to.
PathRefusal CheckPathBelowRoot(const ScriptPath& path) {
  std::string_view below = path.rest;
  if (path.base == KnownFolder::kNone) below.remove_prefix(RootLength(below));
  while (path.base != KnownFolder::kNone && !below.empty() && IsSeparator(below.front()))
    below.remove_prefix(1);
  if (below.empty()) return PathRefusal::kNone;
  return CheckEntryPath(below).refusal;
}

SetupKind KindOf(std::string_view program) {
  if (EndsWithIgnoringCase(program, ".exe")) return SetupKind::kProgram;
  if (EndsWithIgnoringCase(program, ".bat") || EndsWithIgnoringCase(program, ".cmd"))
    return SetupKind::kBatch;
  return SetupKind::kDocument;
}

class Reader {
 public:
  ScriptReading Read(std::string_view comment) {
    const std::vector<std::string_view> lines = SplitLines(WithoutByteOrderMark(comment));
    for (std::size_t i = 1; i < lines.size(); ++i) {
      lineNumber_ = i + 1;
      line_ = lines[i];
      if (!ReadLine(Trimmed(lines[i]))) return {std::nullopt, std::move(error_)};
    }
    lineNumber_ = tempModeLine_.first;
    line_ = tempModeLine_.second;
    if (script_.tempMode && script_.path) return Fail(ScriptFault::kTempModeWithPath);
    if (script_.tempMode && !script_.setup) return Fail(ScriptFault::kTempModeWithoutSetup);
    return {std::move(script_), std::nullopt};
  }

 private:
  ScriptReading Fail(ScriptFault fault) {
    Refuse(fault);
    return {std::nullopt, std::move(error_)};
  }

  bool Refuse(ScriptFault fault, PathRefusal refusal = PathRefusal::kNone) {
    error_ = ScriptError{fault, lineNumber_, std::string(line_), refusal};
    return false;
  }

  bool ReadLine(std::string_view line) {
    if (line.empty() || line.front() == ';') return true;
    const std::size_t equals = line.find('=');
    const std::string_view key = Trimmed(line.substr(0, equals));
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view value = hasValue ? Trimmed(line.substr(equals + 1)) : std::string_view();

    if (EqualsIgnoringCase(key, "TempMode")) {
      if (hasValue) return Refuse(ScriptFault::kBadValue);
      if (script_.tempMode) return Refuse(ScriptFault::kRepeated);
      script_.tempMode = true;
      tempModeLine_ = {lineNumber_, line_};
      return true;
    }
    if (!hasValue) return Refuse(ScriptFault::kUnknownCommand);
    if (EqualsIgnoringCase(key, "Text")) {
      script_.texts.emplace_back(value);
      return true;
    }
    if (EqualsIgnoringCase(key, "Title")) {
      if (!title_.Take(*this)) return false;
      if (value.empty()) return Refuse(ScriptFault::kMissingValue);
      script_.title = value;
      return true;
    }
    if (EqualsIgnoringCase(key, "Path")) {
      if (!path_.Take(*this)) return false;
      if (value.empty()) return Refuse(ScriptFault::kMissingValue);
      script_.path = ReadPath(value);
      if (!script_.path) return Refuse(ScriptFault::kUnknownFolder);
      if (PathRefusal why = CheckPathBelowRoot(*script_.path); why != PathRefusal::kNone)
        return Refuse(ScriptFault::kPathRefused, why);
      if (script_.tempMode) return Refuse(ScriptFault::kTempModeWithPath);
      return true;
    }
    if (EqualsIgnoringCase(key, "Setup")) {
      if (!setup_.Take(*this)) return false;
      return ReadSetup(value);
    }
    if (EqualsIgnoringCase(key, "Silent")) {
      if (!silent_.Take(*this)) return false;
      if (value == "0")
        script_.silence = Silence::kNone;
      else if (value == "1")
        script_.silence = Silence::kProgressOnly;
      else if (value == "2")
        script_.silence = Silence::kNothing;
      else
        return Refuse(value.empty() ? ScriptFault::kMissingValue : ScriptFault::kBadValue);
      return true;
    }
    if (EqualsIgnoringCase(key, "Overwrite")) {
      if (!overwrite_.Take(*this)) return false;
      if (value == "0")
        script_.overwrite = OverwritePolicy::kAsk;
      else if (value == "1")
        script_.overwrite = OverwritePolicy::kOverwriteAll;
      else if (value == "2")
        script_.overwrite = OverwritePolicy::kSkipAll;
      else
        return Refuse(value.empty() ? ScriptFault::kMissingValue : ScriptFault::kBadValue);
      return true;
    }
    return Refuse(ScriptFault::kUnknownCommand);
  }

  // The program first, quoted when its path holds blanks, then its arguments as written.
  bool ReadSetup(std::string_view value) {
    if (value.empty()) return Refuse(ScriptFault::kMissingValue);
    std::string_view program, arguments;
    if (value.front() == '"') {
      const std::size_t close = value.find('"', 1);
      if (close == std::string_view::npos) return Refuse(ScriptFault::kBadValue);
      program = value.substr(1, close - 1);
      arguments = value.substr(close + 1);
      if (!arguments.empty() && !IsBlank(arguments.front())) return Refuse(ScriptFault::kBadValue);
    } else {
      std::size_t end = 0;
      while (end < value.size() && !IsBlank(value[end])) ++end;
      program = value.substr(0, end);
      arguments = value.substr(end);
    }
    const SafePath safe = CheckEntryPath(program);
    if (!safe.Ok()) return Refuse(ScriptFault::kSetupOutsideTree, safe.refusal);
    if (safe.directory) return Refuse(ScriptFault::kBadValue);
    const std::string joined = safe.Joined();
    script_.setup = SetupCommand{joined, std::string(Trimmed(arguments)), KindOf(joined)};
    return true;
  }

  // A command that may appear once.
  class Once {
   public:
    bool Take(Reader& reader) {
      if (seen_) return reader.Refuse(ScriptFault::kRepeated);
      seen_ = true;
      return true;
    }

   private:
    bool seen_ = false;
  };

  InstallerScript script_;
  std::optional<ScriptError> error_;
  std::size_t lineNumber_ = 0;
  std::string_view line_;
  std::pair<std::size_t, std::string_view> tempModeLine_;
  Once title_, path_, setup_, silent_, overwrite_;
};

}  // namespace

bool IsInstallerScript(std::string_view comment) {
  comment = WithoutByteOrderMark(comment);
  const std::size_t end = comment.find_first_of("\r\n");
  std::string_view first = comment.substr(0, end);
  while (!first.empty() && IsBlank(first.back())) first.remove_suffix(1);
  return first == kMarker;
}

ScriptReading ReadInstallerScript(std::string_view comment) {
  if (!IsInstallerScript(comment)) return {};
  return Reader().Read(comment);
}

bool EveryEntryExtracted(const ExtractResult& result) {
  if (result.fatal != Fatal::kNone || result.cancelled || !result.refused.empty() ||
      !result.failed.empty())
    return false;
  for (const EntryReport& warning : result.warnings)
    if (warning.problem == Problem::kLinkSkipped || warning.problem == Problem::kNotReached)
      return false;
  return true;
}

const char* Describe(ScriptFault fault) {
  switch (fault) {
    case ScriptFault::kUnknownCommand:
      return "unknown command";
    case ScriptFault::kMissingValue:
      return "missing value";
    case ScriptFault::kBadValue:
      return "bad value";
    case ScriptFault::kRepeated:
      return "given twice";
    case ScriptFault::kUnknownFolder:
      return "unknown folder";
    case ScriptFault::kPathRefused:
      return "path refused";
    case ScriptFault::kSetupOutsideTree:
      return "setup outside the extracted tree";
    case ScriptFault::kTempModeWithPath:
      return "TempMode with Path";
    case ScriptFault::kTempModeWithoutSetup:
      return "TempMode without Setup";
  }
  return "unknown";
}

}  // namespace kzsfx
