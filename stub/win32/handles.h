// RAII for the Win32 resources the stub holds: kernel handles, files, locks, COM.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace kzsfx::win32 {

// One owning template; the traits say what "empty" is and how to give the handle back, so
// null and INVALID_HANDLE_VALUE can never be confused.
template <typename Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;

  Unique() noexcept = default;
  explicit Unique(Handle handle) noexcept : handle_(handle) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : handle_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Unique() { close(); }

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Traits::empty(); }
  explicit operator bool() const noexcept { return valid(); }
  Handle release() noexcept { return std::exchange(handle_, Traits::empty()); }
  void reset(Handle handle = Traits::empty()) noexcept {
    close();
    handle_ = handle;
  }
  // True when the platform accepted the close; a file's last write can fail only here.
  bool close() noexcept {
    Handle handle = release();
    return handle == Traits::empty() || Traits::close(handle);
  }

 private:
  Handle handle_ = Traits::empty();
};

struct KernelTraits {
  using Handle = HANDLE;
  static Handle empty() noexcept { return nullptr; }
  static bool close(Handle h) noexcept { return ::CloseHandle(h) != FALSE; }
};
struct FileTraits {
  using Handle = HANDLE;
  static Handle empty() noexcept { return INVALID_HANDLE_VALUE; }
  static bool close(Handle h) noexcept { return ::CloseHandle(h) != FALSE; }
};

// Threads and events.
using KernelHandle = Unique<KernelTraits>;
// CreateFileW results.
using FileHandle = Unique<FileTraits>;

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

// Releases a COM interface at scope end.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  T* operator->() const { return pointer_; }
  T* get() const { return pointer_; }
  T** put() { return &pointer_; }
  void** put_void() { return reinterpret_cast<void**>(&pointer_); }

 private:
  T* pointer_ = nullptr;
};

// Frees a COM task allocation (a shell ITEMIDLIST, a path string) at scope end.
template <typename T>
struct CoTaskMemory {
  T* pointer = nullptr;
  ~CoTaskMemory() { ::CoTaskMemFree(pointer); }
};

}  // namespace kzsfx::win32
