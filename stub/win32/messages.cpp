// The stub's texts, and the sentences built from them and from what the core reports.
#include "stub/win32/messages.h"

#include "stub/core/shown_text.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {

std::wstring shown_entry(std::string_view utf8_path) {
  std::wstring shown = shown_escaped(utf8_path);
  for (wchar_t& c : shown) {
    if (c == L'/') c = L'\\';
  }
  return shown;
}

std::wstring shown_escaped(std::string_view utf8_text) { return widen(shown_text(utf8_text)); }

std::wstring format_count(std::uint64_t value) {
  wchar_t digits[24];
  size_t at = std::size(digits);
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(digits + at, std::size(digits) - at);
}

std::wstring format_size(std::uint64_t bytes) {
  if (bytes < 1024) return format_count(bytes) + L" 字节";
  static constexpr const wchar_t* units[] = {L" KB", L" MB", L" GB", L" TB", L" PB", L" EB"};
  // Tenths of the unit, rounded half up, computed without floating point.
  size_t unit = 0;
  std::uint64_t scale = 1024;
  while (unit + 1 < std::size(units) && bytes / scale >= 1024) {
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
  if (shown == 1024 && unit + 1 < std::size(units)) return L"1.0" + std::wstring(units[unit + 1]);
  return format_count(shown) + L"." + format_count(tenths) + units[unit];
}

namespace {

const wchar_t* refusal_text(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::none:
      return L"";
    case PathRefusal::empty:
      return L"名称为空";
    case PathRefusal::not_utf8:
      return L"名称无法解码";
    case PathRefusal::absolute:
      return L"绝对路径";
    case PathRefusal::drive_letter:
      return L"含盘符";
    case PathRefusal::unc:
      return L"网络或设备路径";
    case PathRefusal::parent_reference:
      return L"含“..”，指向目标文件夹之外";
    case PathRefusal::stream_colon:
      return L"含冒号（备用数据流）";
    case PathRefusal::invalid_character:
      return L"含非法字符";
    case PathRefusal::hidden_character:
      return L"含不可见字符或文字方向控制符";
    case PathRefusal::device_name:
      return L"设备名称";
    case PathRefusal::trailing_dot_or_space:
      return L"以点或空格结尾";
    case PathRefusal::too_long:
      return L"名称过长";
    case PathRefusal::too_deep:
      return L"文件夹层级过深";
    case PathRefusal::short_name_alias:
      return L"是另一个文件的短文件名（8.3 格式）";
  }
  return L"名称不安全";
}

}  // namespace

std::wstring describe_problem(const EntryReport& report) {
  std::wstring text;
  switch (report.problem) {
    case Problem::none:
      return {};
    case Problem::refused_path:
      text = std::wstring(L"已拒绝：") + refusal_text(report.refusal);
      break;
    case Problem::link_skipped:
      text = L"链接或特殊文件，已跳过";
      break;
    case Problem::kept_existing:
      text = L"已存在，已跳过";
      break;
    case Problem::crc_mismatch:
      text = L"CRC 校验错误，文件已删除";
      break;
    case Problem::truncated:
      text = L"数据不完整（压缩包被截断），文件已删除";
      break;
    case Problem::larger_than_declared:
      text = L"数据比声明的大，文件已删除";
      break;
    case Problem::unsupported:
      text = L"不支持的压缩或加密方法";
      break;
    case Problem::password_required:
      text = L"需要密码";
      break;
    case Problem::wrong_password:
      text = L"密码错误";
      break;
    case Problem::data_error:
      text = L"数据错误，文件已删除";
      break;
    case Problem::folder_failed:
      text = L"无法创建文件夹";
      break;
    case Problem::write_failed:
      text = L"无法写入文件";
      break;
    case Problem::metadata_not_set:
      text = L"无法设置时间或属性";
      break;
    case Problem::zone_mark_not_set:
      text = L"无法写入下载标记";
      break;
    case Problem::zone_marks_not_kept:
      text = L"目标文件系统不能保存下载标记，解压出的文件都没有带上它";
      break;
    case Problem::not_reached:
      text = L"压缩包目录中列出，但读取时未找到，已跳过";
      break;
  }
  if (!report.detail.empty()) text += L"（" + shown_escaped(report.detail) + L"）";
  return text;
}

std::wstring describe_fatal(Fatal fatal) {
  switch (fatal) {
    case Fatal::none:
      return {};
    case Fatal::no_archive:
      return L"本程序后面没有附加压缩包。";
    case Fatal::unknown_format:
      return L"附加的数据不是可识别的压缩包（支持 zip 和 7z）。";
    case Fatal::corrupt_archive:
      return L"压缩包已损坏，无法读取。";
    case Fatal::unsupported_archive:
      return L"压缩包使用了不支持的加密或结构，无法读取。";
    case Fatal::read_error:
      return L"无法读取本程序文件。";
    case Fatal::not_enough_space:
      return L"目标磁盘空间不足。";
    case Fatal::destination_failed:
      return L"无法创建目标文件夹。";
    case Fatal::out_of_memory:
      return kOutOfMemory;
  }
  return L"解压失败。";
}

std::wstring describe_run_failure(Fatal fatal, const std::string& detail, std::uint64_t needed,
                                  std::optional<std::uint64_t> available) {
  if (fatal == Fatal::not_enough_space && available) {
    return L"目标磁盘空间不足：需要 " + format_size(needed) + L"，只剩 " + format_size(*available) +
           L"。";
  }
  std::wstring text = describe_fatal(fatal);
  if (!detail.empty()) text += L"（" + shown_escaped(detail) + L"）";
  return text;
}

std::wstring describe_contents(const Listing& listing) {
  std::wstring text = L"压缩包内有 " + format_count(listing.files) + L" 个文件，共 " +
                      format_size(listing.declared_total) + L"。";
  if (!listing.refused.empty()) {
    text += L"另有 " + format_count(listing.refused.size()) + L" 个不安全的条目将被跳过。";
  }
  return text;
}

namespace {

// A file without the download mark looks like a trusted local file: the summary names every
// such file, never only a count of warnings.
std::wstring describe_lost_marks(const ExtractResult& result) {
  std::wstring names;
  for (const EntryReport& report : result.warnings) {
    if (report.problem == Problem::zone_marks_not_kept) return describe_problem(report) + L"。";
    if (report.problem == Problem::zone_mark_not_set)
      names += (names.empty() ? L"" : L"、") + shown_entry(report.path);
  }
  return names.empty() ? std::wstring() : L"以下文件未能带上下载标记：" + names + L"。";
}

}  // namespace

std::wstring describe_dialog_summary(const ExtractResult& result, std::uint64_t needed,
                                     std::optional<std::uint64_t> available) {
  std::wstring text;
  if (result.fatal != Fatal::none) {
    text = describe_run_failure(result.fatal, result.fatal_detail, needed, available);
  } else {
    text = L"已解压 " + format_count(result.files) + L" 个文件，共 " + format_size(result.bytes) +
           L"，到：";
  }
  const size_t missing = result.failed.size() + result.refused.size();
  if (missing > 0) text = format_count(missing) + L" 个条目未能解压（见下）。" + text;
  if (const std::wstring lost = describe_lost_marks(result); !lost.empty()) text = lost + text;
  return text;
}

std::wstring describe_entry_line(const EntryReport& report) {
  // A report about the whole run names no entry.
  return (report.path.empty() ? L"" : shown_escaped(report.path) + L"：") +
         describe_problem(report) + L"\r\n";
}

std::wstring describe_entry_problems(const ExtractResult& result) {
  std::wstring text;
  for (const auto* reports : {&result.failed, &result.refused, &result.skipped, &result.warnings}) {
    for (const EntryReport& report : *reports) text += describe_entry_line(report);
  }
  return text;
}

std::wstring describe_unattended_summary(const ExtractResult& result, bool testing,
                                         const std::wstring& shown_root) {
  std::wstring text;
  if (testing) {
    text =
        L"测试了 " + format_count(result.files) + L" 个文件，" + format_size(result.bytes) + L"。";
  } else {
    text = L"已解压 " + format_count(result.files) + L" 个文件，" + format_size(result.bytes) +
           L"，到 " + shown_root + L"。";
  }
  if (!result.refused.empty())
    text += L"拒绝了 " + format_count(result.refused.size()) + L" 个不安全的条目。";
  if (!result.failed.empty()) text += format_count(result.failed.size()) + L" 个条目出错。";
  if (!result.warnings.empty()) text += format_count(result.warnings.size()) + L" 个警告。";
  text += describe_lost_marks(result);
  if (result.cancelled) text += L"已取消。";
  if (result.exit_code() == ExitCode::ok && testing) text += L"全部正确。";
  return text;
}

std::wstring describe_script_error(const ScriptError& error) {
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
      why = std::wstring(L"目标文件夹的路径无效（") + refusal_text(error.refusal) + L"）";
      break;
    case ScriptFault::kSetupOutsideTree:
      why = std::wstring(L"要运行的程序必须位于解压出的文件夹之内（") +
            refusal_text(error.refusal) + L"）";
      break;
    case ScriptFault::kTempModeWithPath:
      why = L"TempMode 与 Path 不能同时使用";
      break;
    case ScriptFault::kTempModeWithoutSetup:
      why = L"TempMode 需要 Setup 指定要运行的程序";
      break;
  }
  return L"压缩包注释中的安装脚本第 " + format_count(error.lineNumber) +
         L" 行有误，未解压任何文件：\r\n" + widen(error.line) + L"\r\n" + why;
}

std::wstring describe_setup_line(const std::string& program, const std::string& arguments) {
  std::wstring line = L"解压完成后将运行：" + shown_entry(program);
  if (!arguments.empty()) line += L" " + widen(arguments);
  return line;
}

std::wstring describe_usage(const std::wstring& program_name) {
  return L"用法：" + program_name +
         L" [-y] [-o<目标文件夹>] [-p<密码>] [-t] [-n]\r\n"
         L"  -y          不显示对话框，直接解压（覆盖已有文件）；有安装脚本时按脚本执行\r\n"
         L"  -o<文件夹>  解压到指定文件夹（不存在时自动创建），优先于脚本的 Path\r\n"
         L"  -p<密码>    压缩包的密码\r\n"
         L"  -t          只测试每个文件的 CRC，不写入任何文件；并显示安装脚本\r\n"
         L"  -n          解压后不运行安装脚本的 Setup 程序\r\n"
         L"退出代码：0 成功，1 警告，2 错误，7 命令行错误，8 内存不足，255 已取消；\r\n"
         L"不带 -n 时，若运行并等待了安装脚本的 Setup 程序，退出代码为该程序自己的退出代码\r\n";
}

std::wstring describe_damaged_exe(const std::string& detail) {
  return L"本程序文件已损坏（" + widen(detail) + L"）。";
}

std::wstring describe_root_failure_line(const std::wstring& shown_root, const std::string& error) {
  return L"无法创建目标文件夹 " + shown_root + L"：" + widen(error);
}

std::wstring describe_root_failure_box(const std::wstring& shown_root, const std::string& error) {
  return L"无法创建目标文件夹：\n" + shown_root + L"\n\n" + widen(error);
}

std::wstring describe_setup_not_started(const std::wstring& application) {
  return L"无法启动 " + application + L"：";
}

std::wstring describe_setup_not_opened(const std::wstring& program) {
  return L"无法打开 " + program + L"：";
}

}  // namespace kzsfx::win32
