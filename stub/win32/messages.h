// Every text the stub shows its user, in Chinese: problems, fatal faults, sizes, questions and
// the command line's help. The dialogs' own labels are in stub.rc.in, with their layout.
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
std::wstring ShownEscaped(std::string_view utf8Text);

// An entry's path from the core ("a/b.txt") as Windows users read it ("a\\b.txt"), escaped.
std::wstring ShownEntry(std::string_view utf8Path);

// The program's name in message box captions, and what a line on standard error starts with.
inline constexpr const wchar_t* kProgramTitle = L"自解压";
inline constexpr const wchar_t* kErrorPrefix = L"错误：";
inline constexpr const wchar_t* kWarningPrefix = L"警告：";

// The folder files go into by default when the exe's own name cannot name one.
inline constexpr const wchar_t* kUnnamedFolder = L"解压的文件";

// The command line's mistakes; a text ending in "：" is followed by the argument.
inline constexpr const wchar_t* kUnknownArgument = L"无法识别的参数：";
inline constexpr const wchar_t* kOutputFolderMissing = L"-o 后须紧跟目标文件夹，例如 -oC:\\目标";
inline constexpr const wchar_t* kOutputFolderTwice = L"目标文件夹指定了两次：";
inline constexpr const wchar_t* kPasswordMissing = L"-p 后须紧跟密码，例如 -psecret";
inline constexpr const wchar_t* kPasswordTwice = L"密码指定了两次：";

// What the program cannot do without; a text ending in "：" is followed by a name.
inline constexpr const wchar_t* kExeNotLocated = L"无法确定本程序的位置。";
inline constexpr const wchar_t* kExeUnreadable = L"无法读取本程序文件：";
inline constexpr const wchar_t* kOutOfMemory = L"内存不足。";
inline constexpr const wchar_t* kInternalError = L"程序内部出错。";
inline constexpr const wchar_t* kCommonControlsMissing =
    L"无法加载系统的通用控件（comctl32.dll）。";

// The installer script's texts; a text ending in "：" is followed by the script or its value.
inline constexpr const wchar_t* kScriptNotText =
    L"压缩包注释中的安装脚本既不是 UTF-8 文字，也不是本机代码页的文字，未解压任何文件。";
inline constexpr const wchar_t* kScriptHeading = L"安装脚本：\r\n";
inline constexpr const wchar_t* kTempFolderFailed = L"无法在临时文件夹中创建解压用的文件夹。";
inline constexpr const wchar_t* kScriptPathUnusable = L"安装脚本中的 Path 不能用作目标文件夹：";
inline constexpr const wchar_t* kSystemFolderMissing = L"找不到系统文件夹：";

// The destination; the first is followed by the path typed.
inline constexpr const wchar_t* kDestinationInvalid = L"目标文件夹无效：";
inline constexpr const wchar_t* kEnterDestination = L"请输入有效的目标文件夹。";
inline constexpr const wchar_t* kPickFolderTitle = L"选择解压目标文件夹";

// The dialogs' texts that change while they are shown.
inline constexpr const wchar_t* kPasswordPrompt = L"此文件已加密，请输入密码：";
inline constexpr const wchar_t* kPasswordRetryPrompt = L"密码错误，请重新输入：";
inline constexpr const wchar_t* kCancelling = L"正在取消…";
inline constexpr const wchar_t* kOpenFolderButton = L"打开文件夹(&O)";
inline constexpr const wchar_t* kCloseButton = L"关闭";

// The command line's help, naming the program as it was started.
std::wstring DescribeUsage(const std::wstring& programName);

// Our own exe's image is damaged; `detail` says how.
std::wstring DescribeDamagedExe(const std::string& detail);

// The destination could not be made: a line for standard error, and a message box's text.
std::wstring DescribeRootFailureLine(const std::wstring& shownRoot, const std::string& error);
std::wstring DescribeRootFailureBox(const std::wstring& shownRoot, const std::string& error);

// The setup program could not be started or opened; the system's own words follow.
std::wstring DescribeSetupNotStarted(const std::wstring& application);
std::wstring DescribeSetupNotOpened(const std::wstring& program);

// "812 字节", "1.5 KB", "3.4 MB", "2.0 GB": one decimal from KB on, binary units.
std::wstring FormatSize(std::uint64_t bytes);

// A whole number without separators ("12").
std::wstring FormatCount(std::uint64_t value);

std::wstring DescribeProblem(const EntryReport& report);
std::wstring DescribeFatal(Fatal fatal);

// The fatal fault with what the user can act on: sizes for a full disk, else the library's
// or the platform's own words after the Chinese sentence.
std::wstring DescribeRunFailure(Fatal fatal, const std::string& detail, std::uint64_t needed,
                                std::optional<std::uint64_t> available);

// What the dialog says before extracting: how many files, how large, how many refused.
std::wstring DescribeContents(const Listing& listing);

// The dialog's summary sentence; the destination folder is shown after it.
std::wstring DescribeDialogSummary(const ExtractResult& result, std::uint64_t needed,
                                   std::optional<std::uint64_t> available);

// One report's line: the entry's name when it has one, then the problem.
std::wstring DescribeEntryLine(const EntryReport& report);

// One line for each entry that failed, was refused or skipped, or drew a warning.
std::wstring DescribeEntryProblems(const ExtractResult& result);

// The last line of an unattended run that got under way; `shownRoot` is where files went.
std::wstring DescribeUnattendedSummary(const ExtractResult& result, bool testing,
                                       const std::wstring& shownRoot);

// Why the installer script in the archive's comment refuses the run, naming its line.
std::wstring DescribeScriptError(const ScriptError& error);

// The start page's line saying which program runs once extraction is done.
std::wstring DescribeSetupLine(const std::string& program, const std::string& arguments);

}  // namespace kzsfx::win32
