// The stub's command line: splitting it into arguments and reading the switches.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kzsfx::win32 {

// What the user asked for. Switches follow 7-Zip's self-extractors: -y runs without the
// dialog, -o<dir> names the destination, -p<password> gives the password, -t tests only;
// -n is ours.
struct CommandLine {
  bool assumeYes = false;
  bool testOnly = false;
  bool showHelp = false;
  bool noSetup = false;  // -n: extract, but run nothing the installer script names
  std::optional<std::wstring> outputDir;
  std::optional<std::wstring> password;
};

struct ParsedCommandLine {
  std::optional<CommandLine> value;  // empty when the command line is unusable
  std::wstring error;                // what was wrong, for the user
};

// Splits a full command line as the Microsoft C runtime does: the program name first (up to
// the first blank outside quotes, no escapes), then arguments where 2n backslashes
// before a quote give n backslashes and a quote that toggles quoting, 2n+1 give n and a
// literal quote, and "" inside quotes is a literal quote.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Reads the arguments after the program name.
ParsedCommandLine ParseArguments(const std::vector<std::wstring>& arguments);

// Both steps on a whole command line, program name included.
ParsedCommandLine ParseCommandLine(std::wstring_view commandLine);

}  // namespace kzsfx::win32
