// Relative lookups through ntdll, which every process has loaded already.
#include "stub/win32/relative_open.h"

#include <winternl.h>

#include <vector>

namespace kzsfx::win32 {
namespace {

// A counted string over `name`, which must outlive it.
UNICODE_STRING Counted(std::wstring_view name) {
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.data());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  return text;
}

// Names are case-insensitive, as they are for the Win32 calls.
OBJECT_ATTRIBUTES InFolder(HANDLE folder, UNICODE_STRING& name) {
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, folder, nullptr);
  return attributes;
}

bool Succeeded(NTSTATUS status) {
  if (NT_SUCCESS(status)) return true;
  ::SetLastError(::RtlNtStatusToDosError(status));
  return false;
}

}  // namespace

AutoFile OpenIn(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share,
                ULONG disposition, ULONG options) {
  UNICODE_STRING text = Counted(name);
  OBJECT_ATTRIBUTES attributes = InFolder(folder, text);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status = ::NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                                         FILE_ATTRIBUTE_NORMAL, share, disposition,
                                         options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (!Succeeded(status)) return AutoFile();
  return AutoFile(handle);
}

bool RenameIn(HANDLE file, HANDLE folder, std::wstring_view name, bool replaceExisting) {
  // The structure ends in the name itself.
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFORMATION) +
                                    name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
  rename->ReplaceIfExists = replaceExisting ? TRUE : FALSE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
  name.copy(rename->FileName, name.size());
  IO_STATUS_BLOCK io{};
  return Succeeded(
      ::NtSetInformationFile(file, &io, rename, static_cast<ULONG>(buffer.size()),
                             static_cast<FILE_INFORMATION_CLASS>(FileRenameInformation)));
}

std::wstring FinalPath(HANDLE handle) {
  // The name the file system itself reports: GetFinalPathNameByHandleW adds a volume query
  // to it, and Wine's stops at MAX_PATH characters.
  std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFORMATION) + 1024 * sizeof(wchar_t));
  for (;;) {
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = ::NtQueryInformationFile(
        handle, &io, buffer.data(), static_cast<ULONG>(buffer.size()), FileNameInformation);
    const auto* name = reinterpret_cast<const FILE_NAME_INFORMATION*>(buffer.data());
    if (NT_SUCCESS(status))
      return std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t));
    constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005);
    const size_t needed = sizeof(FILE_NAME_INFORMATION) + name->FileNameLength;
    if (status != kBufferOverflow || needed <= buffer.size() || needed > 70000) {
      Succeeded(status);
      return {};
    }
    buffer.resize(needed);
  }
}

}  // namespace kzsfx::win32
