#pragma once
// ScopedMsiHandle: the owner of one MSI handle (database, view, record,
// summary information), closed by the MsiCloseHandle it was given. SETUP.EXE
// never links to MSI.DLL and passes the entry point it looked up; the checker
// links to it and passes MsiCloseHandle itself.
#include <windows.h>

#include "sys/scoped_handle.h"

namespace kq {

using MsiHandleValue = unsigned long;  // MSIHANDLE
using MsiCloseHandleFn = UINT(WINAPI*)(MsiHandleValue);

struct MsiHandleTraits {
  using Handle = MsiHandleValue;
  static Handle Invalid() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  void Close(Handle h) const {
    if (close != nullptr) close(h);
  }
  MsiCloseHandleFn close = nullptr;
};

using ScopedMsiHandle = ScopedGeneric<MsiHandleTraits>;

// An empty handle that `close` will close.
inline ScopedMsiHandle MsiHandleClosedBy(MsiCloseHandleFn close) { return ScopedMsiHandle(0, MsiHandleTraits{close}); }

}  // namespace kq
