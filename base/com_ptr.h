// A scoped COM reference. Header-only, shared by the converter and the stub.
#pragma once

#include <utility>

namespace quillet {

// A COM reference that is released when it goes out of scope; copying adds a reference.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already owns (a creation's result).
  static ComPtr Attach(Interface* pointer) noexcept {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }
  // Adds a reference of its own to a borrowed pointer.
  static ComPtr Share(Interface* pointer) noexcept {
    if (pointer) pointer->AddRef();
    return Attach(pointer);
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(Share(other.pointer_)) {}
  ComPtr& operator=(const ComPtr& other) noexcept {
    if (this != &other) *this = Share(other.pointer_);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { Reset(); }

  Interface* Get() const noexcept { return pointer_; }
  Interface* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }
  void Reset() noexcept {
    if (Interface* pointer = std::exchange(pointer_, nullptr)) pointer->Release();
  }
  // For out-parameters (CoCreateInstance, QueryInterface): drops the old reference first.
  void** PutVoid() noexcept {
    Reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  Interface** Put() noexcept {
    Reset();
    return &pointer_;
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace quillet
