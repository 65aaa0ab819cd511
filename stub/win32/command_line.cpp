// Splitting and reading the stub's command line.
#include "stub/win32/command_line.h"

#include "stub/win32/messages.h"

namespace kzsfx::win32 {
namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Switch letters are ASCII; no locale is involved.
wchar_t lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

ParsedCommandLine refuse(std::wstring error) { return {std::nullopt, std::move(error)}; }

}  // namespace

std::vector<std::wstring> split_command_line(std::wstring_view line) {
  std::vector<std::wstring> arguments;
  size_t i = 0;
  const size_t n = line.size();

  // The program name knows no escapes (a path cannot contain a quote): quotes only toggle
  // whether blanks end it.
  std::wstring program;
  bool quoted = false;
  for (; i < n && (quoted || !is_blank(line[i])); ++i) {
    if (line[i] == L'"') {
      quoted = !quoted;
    } else {
      program += line[i];
    }
  }
  arguments.push_back(std::move(program));

  for (;;) {
    while (i < n && is_blank(line[i])) ++i;
    if (i >= n) break;
    std::wstring argument;
    bool quoted = false;
    while (i < n && (quoted || !is_blank(line[i]))) {
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
        if (i < n && (quoted || !is_blank(line[i]))) argument += line[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

ParsedCommandLine parse_arguments(const std::vector<std::wstring>& arguments) {
  CommandLine result;
  for (const std::wstring& argument : arguments) {
    if (argument.size() < 2 || argument[0] != L'-') {
      return refuse(kUnknownArgument + argument);
    }
    const wchar_t name = lower(argument[1]);
    std::wstring value = argument.substr(2);
    if (argument == L"-?" || argument == L"--help" || (name == L'h' && value.empty())) {
      result.show_help = true;
    } else if (name == L'y' && value.empty()) {
      result.assume_yes = true;
    } else if (name == L't' && value.empty()) {
      result.test_only = true;
    } else if (name == L'n' && value.empty()) {
      result.no_setup = true;
    } else if (name == L'o') {
      // -o"C:\dir\" splits as C:\dir" (the backslash escapes the quote). No Windows path
      // holds a quote, so it can only be the closing one the user meant.
      if (!value.empty() && value.back() == L'"') value.pop_back();
      // A repeated switch with another value is a mistake the user should see, not a guess.
      if (value.empty()) return refuse(kOutputFolderMissing);
      if (result.output_dir && *result.output_dir != value) {
        return refuse(kOutputFolderTwice + argument);
      }
      result.output_dir = value;
    } else if (name == L'p') {
      if (value.empty()) return refuse(kPasswordMissing);
      if (result.password && *result.password != value) {
        return refuse(kPasswordTwice + argument);
      }
      result.password = value;
    } else {
      return refuse(kUnknownArgument + argument);
    }
  }
  return {result, {}};
}

ParsedCommandLine parse_command_line(std::wstring_view command_line) {
  std::vector<std::wstring> arguments = split_command_line(command_line);
  arguments.erase(arguments.begin());
  return parse_arguments(arguments);
}

}  // namespace kzsfx::win32
