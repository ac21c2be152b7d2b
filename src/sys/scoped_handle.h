#pragma once
// RAII owners of Win32 handles. Each closes its handle exactly once; nothing
// else calls CloseHandle, FindClose, FreeLibrary or RegCloseKey by hand. The
// owners of other kinds follow the same pattern beside the code that uses
// them: ScopedSocket (http/scoped_socket.h), ScopedMsiHandle
// (msi/scoped_msi_handle.h), ScopedItemIdList (sys/scoped_item_id_list.h),
// and ComPtr (sys/com_ptr.h) for COM interfaces.
#include <windows.h>

#include <utility>

namespace kq {

// Traits give Handle, Invalid(), IsValid(h) and Close(h). Close may be a
// member of a traits object that carries what closes the handle (an entry
// point looked up at run time); the owner keeps its own copy of the traits.
template <typename Traits>
class ScopedGeneric {
 public:
  using Handle = typename Traits::Handle;
  ScopedGeneric() = default;
  explicit ScopedGeneric(Handle h, Traits traits = Traits()) : handle_(h), traits_(traits) {}
  ~ScopedGeneric() { Close(); }
  ScopedGeneric(ScopedGeneric&& other) noexcept : handle_(other.Release()), traits_(other.traits_) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
      traits_ = other.traits_;
    }
    return *this;
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;

  bool IsValid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return IsValid(); }
  Handle Get() const { return handle_; }
  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) {
    Close();
    handle_ = h;
  }
  void Close() {
    if (IsValid()) traits_.Close(handle_);
    handle_ = Traits::Invalid();
  }
  // For traits whose Close answers whether it worked: true when nothing is
  // held afterwards. A handle whose close failed stays held (a library that
  // cannot be freed stays loaded).
  bool TryClose() {
    if (!IsValid()) return true;
    if (!traits_.Close(handle_)) return false;
    handle_ = Traits::Invalid();
    return true;
  }
  // The out-parameter of a call that opens a new handle; any handle held is
  // closed first.
  Handle* Receive() {
    Close();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
  [[no_unique_address]] Traits traits_{};
};

// Kernel objects whose failure value is null (events, mutexes, processes).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

// Files, whose failure value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};

struct LibraryTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ::FreeLibrary(h) != FALSE; }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};

using ScopedHandle = ScopedGeneric<KernelHandleTraits>;
using ScopedFile = ScopedGeneric<FileHandleTraits>;
using ScopedFind = ScopedGeneric<FindHandleTraits>;
using ScopedLibrary = ScopedGeneric<LibraryTraits>;
using ScopedRegKey = ScopedGeneric<RegKeyTraits>;

}  // namespace kq
