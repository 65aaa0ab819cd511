// The stub's user-facing texts: problems, fatal faults and sizes in Chinese.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "stub/core/installer_script.h"
#include "stub/core/results.h"

namespace kzsfx::win32 {

// A name from the archive (refused ones too) or a message that may quote one, as it came but
// with whatever could add a line or reorder the text escaped ("\u202E", shown_text.h).
std::wstring shown_escaped(std::string_view utf8_text);

// An entry's path from the core ("a/b.txt") as Windows users read it ("a\\b.txt"), escaped.
std::wstring shown_entry(std::string_view utf8_path);

// The folder files go into by default when the exe's own name cannot name one.
inline constexpr const wchar_t* unnamed_folder = L"解压的文件";

// "812 字节", "1.5 KB", "3.4 MB", "2.0 GB": one decimal from KB on, binary units.
std::wstring format_size(std::uint64_t bytes);

// A whole number without separators ("12").
std::wstring format_count(std::uint64_t value);

std::wstring describe_problem(const EntryReport& report);
std::wstring describe_fatal(Fatal fatal);

// The fatal fault with what the user can act on: sizes for a full disk, else the library's
// or the platform's own words after the Chinese sentence.
std::wstring describe_run_failure(Fatal fatal, const std::string& detail, std::uint64_t needed,
                                  std::optional<std::uint64_t> available);

// What the dialog says before extracting: how many files, how large, how many refused.
std::wstring describe_contents(const Listing& listing);

// The dialog's summary sentence; the destination folder is shown after it.
std::wstring describe_dialog_summary(const ExtractResult& result, std::uint64_t needed,
                                     std::optional<std::uint64_t> available);

// One line for each entry that failed, was refused or skipped, or drew a warning.
std::wstring describe_entry_problems(const ExtractResult& result);

// The last line of an unattended run that got under way; `shown_root` is where files went.
std::wstring describe_unattended_summary(const ExtractResult& result, bool testing,
                                         const std::wstring& shown_root);

// Why the installer script in the archive's comment refuses the run, naming its line.
std::wstring describe_script_error(const ScriptError& error);

// The start page's line saying which program runs once extraction is done.
std::wstring describe_setup_line(const std::string& program, const std::string& arguments);

}  // namespace kzsfx::win32
