// The stub's texts, and the sentences built from them and from what the core reports.
#include "stub/win32/messages.h"

#include "stub/core/shown_text.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {

std::wstring ShownEntry(std::string_view utf8Path) {
  std::wstring shown = ShownEscaped(utf8Path);
  for (wchar_t& c : shown) {
    if (c == L'/') c = L'\\';
  }
  return shown;
}

std::wstring ShownEscaped(std::string_view utf8Text) { return Widen(ShownText(utf8Text)); }

std::wstring FormatCount(std::uint64_t value) {
  wchar_t digits[24];
  size_t at = std::size(digits);
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(digits + at, std::size(digits) - at);
}

std::wstring FormatSize(std::uint64_t bytes) {
  if (bytes < 1024) return FormatCount(bytes) + L" 字节";
  static constexpr const wchar_t* kUnits[] = {L" KB", L" MB", L" GB", L" TB", L" PB", L" EB"};
  // Tenths of the unit, rounded half up, computed without floating point.
  size_t unit = 0;
  std::uint64_t scale = 1024;
  while (unit + 1 < std::size(kUnits) && bytes / scale >= 1024) {
    scale *= 1024;
    ++unit;
  }
  const std::uint64_t whole = bytes / scale;
  std::uint64_t tenths = ((bytes % scale) * 10 + scale / 2) / scale;
  std::uint64_t shown = whole;
  if (tenths == 10) {
    ++shown;
    tenths = 0;
  }
  // 1023.96 KB rounds to the next unit rather than showing "1024.0 KB".
  if (shown == 1024 && unit + 1 < std::size(kUnits)) return L"1.0" + std::wstring(kUnits[unit + 1]);
  return FormatCount(shown) + L"." + FormatCount(tenths) + kUnits[unit];
}

namespace {

const wchar_t* RefusalText(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::kNone:
      return L"";
    case PathRefusal::kEmpty:
      return L"名称为空";
    case PathRefusal::kNotUtf8:
      return L"名称无法解码";
    case PathRefusal::kAbsolute:
      return L"绝对路径";
    case PathRefusal::kDriveLetter:
      return L"含盘符";
    case PathRefusal::kUnc:
      return L"网络或设备路径";
    case PathRefusal::kParentReference:
      return L"含“..”，指向目标文件夹之外";
    case PathRefusal::kStreamColon:
      return L"含冒号（备用数据流）";
    case PathRefusal::kInvalidCharacter:
      return L"含非法字符";
    case PathRefusal::kHiddenCharacter:
      return L"含不可见字符或文字方向控制符";
    case PathRefusal::kDeviceName:
      return L"设备名称";
    case PathRefusal::kTrailingDotOrSpace:
      return L"以点或空格结尾";
    case PathRefusal::kTooLong:
      return L"名称过长";
    case PathRefusal::kTooDeep:
      return L"文件夹层级过深";
    case PathRefusal::kShortNameAlias:
      return L"是另一个文件的短文件名（8.3 格式）";
  }
  return L"名称不安全";
}

}  // namespace

std::wstring DescribeProblem(const EntryReport& report) {
  std::wstring text;
  switch (report.problem) {
    case Problem::kNone:
      return {};
    case Problem::kRefusedPath:
      text = std::wstring(L"已拒绝：") + RefusalText(report.refusal);
      break;
    case Problem::kLinkSkipped:
      text = L"链接或特殊文件，已跳过";
      break;
    case Problem::kKeptExisting:
      text = L"已存在，已跳过";
      break;
    case Problem::kCrcMismatch:
      text = L"CRC 校验错误，文件已删除";
      break;
    case Problem::kTruncated:
      text = L"数据不完整（压缩包被截断），文件已删除";
      break;
    case Problem::kLargerThanDeclared:
      text = L"数据比声明的大，文件已删除";
      break;
    case Problem::kUnsupported:
      text = L"不支持的压缩或加密方法";
      break;
    case Problem::kPasswordRequired:
      text = L"需要密码";
      break;
    case Problem::kWrongPassword:
      text = L"密码错误";
      break;
    case Problem::kDataError:
      text = L"数据错误，文件已删除";
      break;
    case Problem::kFolderFailed:
      text = L"无法创建文件夹";
      break;
    case Problem::kWriteFailed:
      text = L"无法写入文件";
      break;
    case Problem::kMetadataNotSet:
      text = L"无法设置时间或属性";
      break;
    case Problem::kZoneMarkNotSet:
      text = L"无法写入下载标记";
      break;
    case Problem::kZoneMarksNotKept:
      text = L"目标文件系统不能保存下载标记，解压出的文件都没有带上它";
      break;
    case Problem::kNotReached:
      text = L"压缩包目录中列出，但读取时未找到，已跳过";
      break;
  }
  if (!report.detail.empty()) text += L"（" + ShownEscaped(report.detail) + L"）";
  return text;
}

std::wstring DescribeFatal(Fatal fatal) {
  switch (fatal) {
    case Fatal::kNone:
      return {};
    case Fatal::kNoArchive:
      return L"本程序后面没有附加压缩包。";
    case Fatal::kUnknownFormat:
      return L"附加的数据不是可识别的压缩包（支持 zip 和 7z）。";
    case Fatal::kCorruptArchive:
      return L"压缩包已损坏，无法读取。";
    case Fatal::kUnsupportedArchive:
      return L"压缩包使用了不支持的加密或结构，无法读取。";
    case Fatal::kReadError:
      return L"无法读取本程序文件。";
    case Fatal::kNotEnoughSpace:
      return L"目标磁盘空间不足。";
    case Fatal::kDestinationFailed:
      return L"无法创建目标文件夹。";
    case Fatal::kOutOfMemory:
      return kOutOfMemory;
  }
  return L"解压失败。";
}

std::wstring DescribeRunFailure(Fatal fatal, const std::string& detail, std::uint64_t needed,
                                std::optional<std::uint64_t> available) {
  if (fatal == Fatal::kNotEnoughSpace && available) {
    return L"目标磁盘空间不足：需要 " + FormatSize(needed) + L"，只剩 " + FormatSize(*available) +
           L"。";
  }
  std::wstring text = DescribeFatal(fatal);
  if (!detail.empty()) text += L"（" + ShownEscaped(detail) + L"）";
  return text;
}

std::wstring DescribeContents(const Listing& listing) {
  std::wstring text = L"压缩包内有 " + FormatCount(listing.files) + L" 个文件，共 " +
                      FormatSize(listing.declaredTotal) + L"。";
  if (!listing.refused.empty()) {
    text += L"另有 " + FormatCount(listing.refused.size()) + L" 个不安全的条目将被跳过。";
  }
  return text;
}

namespace {

// A file without the download mark looks like a trusted local file: the summary names every
// such file, never only a count of warnings.
std::wstring DescribeLostMarks(const ExtractResult& result) {
  std::wstring names;
  for (const EntryReport& report : result.warnings) {
    if (report.problem == Problem::kZoneMarksNotKept) return DescribeProblem(report) + L"。";
    if (report.problem == Problem::kZoneMarkNotSet)
      names += (names.empty() ? L"" : L"、") + ShownEntry(report.path);
  }
  return names.empty() ? std::wstring() : L"以下文件未能带上下载标记：" + names + L"。";
}

}  // namespace

std::wstring DescribeDialogSummary(const ExtractResult& result, std::uint64_t needed,
                                   std::optional<std::uint64_t> available) {
  std::wstring text;
  if (result.fatal != Fatal::kNone) {
    text = DescribeRunFailure(result.fatal, result.fatalDetail, needed, available);
  } else {
    text = L"已解压 " + FormatCount(result.files) + L" 个文件，共 " + FormatSize(result.bytes) +
           L"，到：";
  }
  const size_t missing = result.failed.size() + result.refused.size();
  if (missing > 0) text = FormatCount(missing) + L" 个条目未能解压（见下）。" + text;
  if (const std::wstring lost = DescribeLostMarks(result); !lost.empty()) text = lost + text;
  return text;
}

std::wstring DescribeEntryLine(const EntryReport& report) {
  // A report about the whole run names no entry.
  return (report.path.empty() ? L"" : ShownEscaped(report.path) + L"：") + DescribeProblem(report) +
         L"\r\n";
}

std::wstring DescribeEntryProblems(const ExtractResult& result) {
  std::wstring text;
  for (const auto* reports : {&result.failed, &result.refused, &result.skipped, &result.warnings}) {
    for (const EntryReport& report : *reports) text += DescribeEntryLine(report);
  }
  return text;
}

std::wstring DescribeUnattendedSummary(const ExtractResult& result, bool testing,
                                       const std::wstring& shownRoot) {
  std::wstring text;
  if (testing) {
    text = L"测试了 " + FormatCount(result.files) + L" 个文件，" + FormatSize(result.bytes) + L"。";
  } else {
    text = L"已解压 " + FormatCount(result.files) + L" 个文件，" + FormatSize(result.bytes) +
           L"，到 " + shownRoot + L"。";
  }
  if (!result.refused.empty())
    text += L"拒绝了 " + FormatCount(result.refused.size()) + L" 个不安全的条目。";
  if (!result.failed.empty()) text += FormatCount(result.failed.size()) + L" 个条目出错。";
  if (!result.warnings.empty()) text += FormatCount(result.warnings.size()) + L" 个警告。";
  text += DescribeLostMarks(result);
  if (result.cancelled) text += L"已取消。";
  if (result.exit_code() == ExitCode::kOk && testing) text += L"全部正确。";
  return text;
}

std::wstring DescribeScriptError(const ScriptError& error) {
  std::wstring why;
  switch (error.fault) {
    case ScriptFault::kUnknownCommand:
      why = L"不是可识别的命令";
      break;
    case ScriptFault::kMissingValue:
      why = L"缺少值";
      break;
    case ScriptFault::kBadValue:
      why = L"值无效";
      break;
    case ScriptFault::kRepeated:
      why = L"此命令只能出现一次";
      break;
    case ScriptFault::kUnknownFolder:
      why =
          L"路径开头的文件夹名称无法识别（可用 %ProgramFiles%、%LOCALAPPDATA%、%APPDATA%、"
          L"%TEMP%、%USERPROFILE%、%PUBLIC%，其后须跟 \\）";
      break;
    case ScriptFault::kPathRefused:
      why = std::wstring(L"目标文件夹的路径无效（") + RefusalText(error.refusal) + L"）";
      break;
    case ScriptFault::kSetupOutsideTree:
      why = std::wstring(L"要运行的程序必须位于解压出的文件夹之内（") + RefusalText(error.refusal) +
            L"）";
      break;
    case ScriptFault::kTempModeWithPath:
      why = L"TempMode 与 Path 不能同时使用";
      break;
    case ScriptFault::kTempModeWithoutSetup:
      why = L"TempMode 需要 Setup 指定要运行的程序";
      break;
  }
  return L"压缩包注释中的安装脚本第 " + FormatCount(error.lineNumber) +
         L" 行有误，未解压任何文件：\r\n" + Widen(error.line) + L"\r\n" + why;
}

std::wstring DescribeSetupLine(const std::string& program, const std::string& arguments) {
  std::wstring line = L"解压完成后将运行：" + ShownEntry(program);
  if (!arguments.empty()) line += L" " + Widen(arguments);
  return line;
}

std::wstring DescribeUsage(const std::wstring& programName) {
  return L"用法：" + programName +
         L" [-y] [-o<目标文件夹>] [-p<密码>] [-t] [-n]\r\n"
         L"  -y          不显示对话框，直接解压（覆盖已有文件）；有安装脚本时按脚本执行\r\n"
         L"  -o<文件夹>  解压到指定文件夹（不存在时自动创建），优先于脚本的 Path\r\n"
         L"  -p<密码>    压缩包的密码\r\n"
         L"  -t          只测试每个文件的 CRC，不写入任何文件；并显示安装脚本\r\n"
         L"  -n          解压后不运行安装脚本的 Setup 程序\r\n"
         L"退出代码：0 成功，1 警告，2 错误，7 命令行错误，8 内存不足，255 已取消；\r\n"
         L"不带 -n 时，若运行并等待了安装脚本的 Setup 程序，退出代码为该程序自己的退出代码\r\n";
}

std::wstring DescribeDamagedExe(const std::string& detail) {
  return L"本程序文件已损坏（" + Widen(detail) + L"）。";
}

std::wstring DescribeRootFailureLine(const std::wstring& shownRoot, const std::string& error) {
  return L"无法创建目标文件夹 " + shownRoot + L"：" + Widen(error);
}

std::wstring DescribeRootFailureBox(const std::wstring& shownRoot, const std::string& error) {
  return L"无法创建目标文件夹：\n" + shownRoot + L"\n\n" + Widen(error);
}

std::wstring DescribeSetupNotStarted(const std::wstring& application) {
  return L"无法启动 " + application + L"：";
}

std::wstring DescribeSetupNotOpened(const std::wstring& program) {
  return L"无法打开 " + program + L"：";
}

}  // namespace kzsfx::win32
