// Choosing a folder: the Vista file dialog in folder mode, the older browse dialog otherwise.
#include "stub/win32/folder_picker.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "stub/win32/handles.h"
#include "stub/win32/messages.h"

namespace kzsfx::win32 {
namespace {

// Spelled out here: taking it from libuuid links that library's whole GUID table (35 KB).
constexpr CLSID kFileOpenDialogClass = {
    0xDC1C5A9C, 0xE88A, 0x4DDE, {0xA5, 0xA1, 0x60, 0xF8, 0x2A, 0x20, 0xAE, 0xF7}};

std::optional<bool> PickWithFileDialog(HWND owner, const std::wstring& initial,
                                       std::wstring& chosen) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(kFileOpenDialogClass, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IFileOpenDialog), dialog.PutVoid()))) {
    return std::nullopt;
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(kPickFolderTitle);
  ComPtr<IShellItem> start;
  if (!initial.empty() && SUCCEEDED(::SHCreateItemFromParsingName(
                              initial.c_str(), nullptr, __uuidof(IShellItem), start.PutVoid()))) {
    dialog->SetFolder(start.Get());
  }
  if (FAILED(dialog->Show(owner))) return false;
  ComPtr<IShellItem> result;
  if (FAILED(dialog->GetResult(result.Put()))) return false;
  CoTaskMemory<wchar_t> path;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path.pointer))) return false;
  chosen = path.pointer;
  return true;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data != 0)
    ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

bool PickWithBrowseDialog(HWND owner, const std::wstring& initial, std::wstring& chosen) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = kPickFolderTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(initial.c_str());
  CoTaskMemory<ITEMIDLIST> list{::SHBrowseForFolderW(&info)};
  if (list.pointer == nullptr) return false;
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(list.pointer, path)) return false;
  chosen = path;
  return true;
}

}  // namespace

std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& initial) {
  std::wstring chosen;
  std::optional<bool> picked = PickWithFileDialog(owner, initial, chosen);
  if (!picked) picked = PickWithBrowseDialog(owner, initial, chosen);
  if (!*picked) return std::nullopt;
  return chosen;
}

}  // namespace kzsfx::win32
