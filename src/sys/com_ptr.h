#pragma once
// ComPtr: the program's one owner of a COM interface pointer. It releases
// the interface exactly once; nothing else calls Release by hand.
#include <windows.h>

#include <utility>

namespace kq {

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* operator->() const { return pointer_; }
  Interface* Get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // The out-parameter of a call that hands over a new reference (SHGetMalloc);
  // any interface held is released first.
  Interface** Receive() {
    Reset();
    return &pointer_;
  }
  // The same for calls that take an interface identifier and a void**
  // (CoCreateInstance, QueryInterface).
  void** ReceiveAny() { return reinterpret_cast<void**>(Receive()); }
  void Reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace kq
