// kzsfx entry point: harden DLL loading, read the command line, run unattended or with the dialog.
#include <windows.h>

#include "stub/core/results.h"
#include "stub/win32/command_line.h"
#include "stub/win32/console.h"
#include "stub/win32/extract_dialog.h"
#include "stub/win32/file_source.h"
#include "stub/win32/installer_run.h"
#include "stub/win32/messages.h"
#include "stub/win32/runtime_stops.h"
#include "stub/win32/session.h"

namespace {

using kzsfx::ExitCode;
using namespace kzsfx::win32;

// Downloaded self-extractors sit in the Downloads folder beside whatever else came down; a
// DLL planted there must never be loaded in place of a system one. Looked up at run time:
// the call exists from Windows 8 (and Windows 7 with KB2533623) on.
void restrict_dll_search() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Older systems: at least take the current folder out of the search.
  ::SetDllDirectoryW(L"");
}

std::wstring usage() {
  const std::wstring path = own_exe_path();
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  return L"用法：" + name +
         L" [-y] [-o<目标文件夹>] [-p<密码>] [-t] [-n]\r\n"
         L"  -y          不显示对话框，直接解压（覆盖已有文件）；有安装脚本时按脚本执行\r\n"
         L"  -o<文件夹>  解压到指定文件夹（不存在时自动创建），优先于脚本的 Path\r\n"
         L"  -p<密码>    压缩包的密码\r\n"
         L"  -t          只测试每个文件的 CRC，不写入任何文件；并显示安装脚本\r\n"
         L"  -n          解压后不运行安装脚本的 Setup 程序\r\n"
         L"退出代码：0 成功，1 警告，2 错误，7 命令行错误，8 内存不足，255 已取消；\r\n"
         L"不带 -n 时，若运行并等待了安装脚本的 Setup 程序，退出代码为该程序自己的退出代码\r\n";
}

// A script is driving us when it passed -y: then nothing may wait for a click.
bool asked_for_silence(std::wstring_view command_line) {
  std::vector<std::wstring> arguments = split_command_line(command_line);
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == L"-y" || arguments[i] == L"-Y" || arguments[i] == L"-t" ||
        arguments[i] == L"-T") {
      return true;
    }
  }
  return false;
}

int run(const wchar_t* raw_command_line) {
  Console console;
  const ParsedCommandLine parsed = parse_command_line(raw_command_line);
  if (!parsed.value) {
    console.err(parsed.error + L"\r\n" + usage());
    if (!asked_for_silence(raw_command_line) && !console.present()) {
      show_error(L"自解压", parsed.error + L"\r\n\r\n" + usage());
    }
    return static_cast<int>(ExitCode::bad_command_line);
  }
  const CommandLine& command_line = *parsed.value;
  if (command_line.show_help) {
    console.out(usage());
    if (!console.present())
      ::MessageBoxW(nullptr, usage().c_str(), L"自解压", MB_OK | MB_ICONINFORMATION);
    return static_cast<int>(ExitCode::ok);
  }

  const bool unattended = command_line.assume_yes || command_line.test_only;
  report_stops_in_message_box(!unattended);
  std::wstring error;
  std::unique_ptr<Session> session = open_session(error);
  // A script that refuses the run does so before anything is written.
  if (session && !LoadInstallerScript(*session, error)) session.reset();
  if (!session) {
    if (unattended) {
      console.err(L"错误：" + error + L"\r\n");
    } else {
      show_error(L"自解压", error);
    }
    return static_cast<int>(ExitCode::fatal);
  }
  return RunExtraction(command_line, *session, console);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  restrict_dll_search();
  // The full command line: the runtime's copy drops the program name, which the split needs.
  // Running out of memory ends the process in runtime_stops.cpp with exit code 8.
  return run(::GetCommandLineW());
}
