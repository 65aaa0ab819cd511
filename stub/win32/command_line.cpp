// Splitting and reading the stub's command line.
#include "stub/win32/command_line.h"

#include "stub/win32/messages.h"

namespace kzsfx::win32 {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Switch letters are ASCII; no locale is involved.
wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

ParsedCommandLine Refuse(std::wstring error) { return {std::nullopt, std::move(error)}; }

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
  std::vector<std::wstring> arguments;
  size_t i = 0;
  const size_t n = line.size();

  // The program name knows no escapes (a path cannot contain a quote): quotes only toggle
  // whether blanks end it.
  std::wstring program;
  bool quoted = false;
  for (; i < n && (quoted || !IsBlank(line[i])); ++i) {
    if (line[i] == L'"') {
      quoted = !quoted;
    } else {
      program += line[i];
    }
  }
  arguments.push_back(std::move(program));

  for (;;) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) break;
    std::wstring argument;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(line[i]))) {
      size_t backslashes = 0;
      while (i < n && line[i] == L'\\') {
        ++backslashes;
        ++i;
      }
      if (i < n && line[i] == L'"') {
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          argument += L'"';
          ++i;
        } else if (quoted && i + 1 < n && line[i + 1] == L'"') {
          argument += L'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument.append(backslashes, L'\\');
        if (i < n && (quoted || !IsBlank(line[i]))) argument += line[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

ParsedCommandLine ParseArguments(const std::vector<std::wstring>& arguments) {
  CommandLine result;
  for (const std::wstring& argument : arguments) {
    if (argument.size() < 2 || argument[0] != L'-') {
      return Refuse(kUnknownArgument + argument);
    }
    const wchar_t name = Lower(argument[1]);
    std::wstring value = argument.substr(2);
    if (argument == L"-?" || argument == L"--help" || (name == L'h' && value.empty())) {
      result.showHelp = true;
    } else if (name == L'y' && value.empty()) {
      result.assumeYes = true;
    } else if (name == L't' && value.empty()) {
      result.testOnly = true;
    } else if (name == L'n' && value.empty()) {
      result.noSetup = true;
    } else if (name == L'o') {
      // -o"C:\dir\" splits as C:\dir" (the backslash escapes the quote). No Windows path
      // holds a quote, so it can only be the closing one the user meant.
      if (!value.empty() && value.back() == L'"') value.pop_back();
      // A repeated switch with another value is a mistake the user should see, not a guess.
      if (value.empty()) return Refuse(kOutputFolderMissing);
      if (result.outputDir && *result.outputDir != value) {
        return Refuse(kOutputFolderTwice + argument);
      }
      result.outputDir = value;
    } else if (name == L'p') {
      if (value.empty()) return Refuse(kPasswordMissing);
      if (result.password && *result.password != value) {
        return Refuse(kPasswordTwice + argument);
      }
      result.password = value;
    } else {
      return Refuse(kUnknownArgument + argument);
    }
  }
  return {result, {}};
}

ParsedCommandLine ParseCommandLine(std::wstring_view commandLine) {
  std::vector<std::wstring> arguments = SplitCommandLine(commandLine);
  arguments.erase(arguments.begin());
  return ParseArguments(arguments);
}

}  // namespace kzsfx::win32
