// RAII for the Win32 resources the stub holds: kernel handles, files, modules, GDI objects,
// locks.
#pragma once

#include <windows.h>

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
struct GdiTraits {
    using Handle = HGDIOBJ;
    static Handle empty() noexcept { return nullptr; }
    static bool close(Handle h) noexcept { return ::DeleteObject(h) != FALSE; }
};

// Threads and events.
using KernelHandle = Unique<KernelTraits>;
// CreateFileW results.
using FileHandle = Unique<FileTraits>;
// Fonts and brushes the stub creates.
using GdiObject = Unique<GdiTraits>;

// A slim reader-writer lock taken exclusively for the scope.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace kzsfx::win32
