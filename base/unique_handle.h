// One owning template for Win32 handles: the type says what "empty" is and how the handle is
// given back. Header-only, shared by the converter and the stub.
#pragma once

#include <windows.h>

#include <utility>

namespace quillet {

// What counts as "no handle". Kernel objects use null, files and searches use
// INVALID_HANDLE_VALUE; keeping it in the type means the two are never mixed up.
template <typename Handle>
struct NullIsEmpty {
  static Handle Value() noexcept { return nullptr; }
};
struct InvalidIsEmpty {
  static HANDLE Value() noexcept { return INVALID_HANDLE_VALUE; }
};

// How a handle is given back; true when the platform accepted it.
struct CloseWithCloseHandle {
  static bool Close(HANDLE handle) noexcept { return ::CloseHandle(handle) != FALSE; }
};
struct CloseWithFindClose {
  static bool Close(HANDLE handle) noexcept { return ::FindClose(handle) != FALSE; }
};

template <typename Handle, typename ClosePolicy, typename EmptyPolicy>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueHandle() { Close(); }

  static Handle Empty() noexcept { return EmptyPolicy::Value(); }

  Handle Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != Empty(); }
  explicit operator bool() const noexcept { return Valid(); }

  // Gives up ownership without closing.
  Handle Release() noexcept { return std::exchange(handle_, Empty()); }
  void Reset(Handle handle = EmptyPolicy::Value()) noexcept {
    Close();
    handle_ = handle;
  }
  // Closes now, for callers that must know whether the close succeeded (a file's last
  // write can fail only there). Closing an empty handle succeeds.
  bool Close() noexcept {
    Handle handle = Release();
    return handle == Empty() || ClosePolicy::Close(handle);
  }

 private:
  Handle handle_ = EmptyPolicy::Value();
};

// Processes, threads, events: null when empty, closed with CloseHandle.
using AutoHandle = UniqueHandle<HANDLE, CloseWithCloseHandle, NullIsEmpty<HANDLE>>;
// CreateFile results: INVALID_HANDLE_VALUE when empty.
using AutoFile = UniqueHandle<HANDLE, CloseWithCloseHandle, InvalidIsEmpty>;
// FindFirstFile searches: INVALID_HANDLE_VALUE when empty, closed with FindClose.
using AutoFindHandle = UniqueHandle<HANDLE, CloseWithFindClose, InvalidIsEmpty>;

}  // namespace quillet
