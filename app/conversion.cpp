// Converting an accepted drop: the questions asked, the one-line batch file and its launch.
#include "app/conversion.h"

#include <windows.h>

#include <optional>

#include "app/globals.h"
#include "app/path_analysis.h"
#include "base/files.h"
#include "base/win32_handles.h"
#include "ui/message_box.h"
#include "ui/process.h"

namespace quillet {
namespace {

constexpr const char* kWrongExtension = "请拖入扩展名为 kz 或 zip 的文件";
constexpr const char* kOverwrite = "发现同名exe文件，确定覆盖？";
constexpr const char* kUnrepresentable = "文件名含有当前代码页无法表示的字符，请改名后再拖入";

// The command interpreter started by the last conversion. Until it has read the batch file
// and finished its copy, the file must not be rewritten under it.
AutoHandle pendingBatch;

// The drop target turns characters the ANSI code page lacks into "?"; "*" cannot be in a
// real file name either. Neither byte can be the second byte of a GBK character.
bool HasUnrepresentableName(TextView path) {
  return path.view().find_first_of("?*") != std::string_view::npos;
}

// Inside double quotes a batch line still expands %...%, so every % is doubled; & ^ and
// spaces are literal there, and a Windows file name cannot contain the quote itself.
Text EscapePercents(TextView path) {
  return ReplaceText(path, "%", "%%", 1, std::nullopt, true);
}

Text BatchPath() { return ConcatText({TempFolder, "kzsfx.tmp~1.bat"}); }

}  // namespace

void WaitForPendingBatch() {
  if (pendingBatch) ::WaitForSingleObject(pendingBatch.Get(), INFINITE);
  pendingBatch.Reset();
}

void BuildSelfExtractor() {
  {
    const Text stub = EscapePercents(TempFolder);
    const Text archive = EscapePercents(DroppedPath);
    const Text folder = EscapePercents(FolderPart);
    const Text base = EscapePercents(BaseName);
    const Text command = ConcatText({"copy /b \"", stub, "kzsfx.tmp~1\"+\"", archive, "\" \"",
                                     folder, base, ".exe\""});
    BatchBytes = TextToBytes(command);
  }
  WaitForPendingBatch();
  WriteFileBytes(BatchPath(), {BatchBytes});
  // The interpreter inherits our environment: a user's COPYCMD=/-Y would make the hidden copy
  // ask before replacing the output, with nobody to answer, and every later drop wait on it.
  ::SetEnvironmentVariableA("COPYCMD", nullptr);
  // Hidden, and not waited for: the copy goes on in the interpreter's own process.
  pendingBatch = StartCommand(BatchPath(), 1);
}

void OnFileReceived(Text& dropped) {
  if (!AnalyseDroppedPath(dropped)) {
    ShowMessageBox(kWrongExtension, 0);
    return;
  }
  if (HasUnrepresentableName(DroppedPath)) {
    ShowMessageBox(kUnrepresentable, 0);
    return;
  }
  const bool exists = FileExists(ConcatText({FolderPart, BaseName, ".exe"}));
  if (exists && ShowMessageBox(kOverwrite, 1) != 0) return;
  BuildSelfExtractor();
}

}  // namespace quillet
