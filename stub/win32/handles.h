// RAII for the Win32 resources the stub holds: kernel handles, files, locks, COM.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "base/com_ptr.h"
#include "base/unique_handle.h"

namespace kzsfx::win32 {

// The handle template and COM reference the converter uses too.
using quillet::AutoFile;    // CreateFileW results
using quillet::AutoHandle;  // threads and events
using quillet::ComPtr;

// A slim reader-writer lock taken exclusively for the scope.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) {
    ::AcquireSRWLockExclusive(&lock_);
  }
  ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& lock_;
};

// COM on this thread (single-threaded apartment, for the shell's dialogs) for the scope.
class ComApartment {
 public:
  ComApartment() noexcept
      : ok_(SUCCEEDED(
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComApartment() {
    if (ok_) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};

// Frees a COM task allocation (a shell ITEMIDLIST, a path string) at scope end.
template <typename T>
struct CoTaskMemory {
  T* pointer = nullptr;
  ~CoTaskMemory() { ::CoTaskMemFree(pointer); }
};

}  // namespace kzsfx::win32
