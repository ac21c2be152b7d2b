#pragma once
// An item-id list that the shell allocated (SHGetSpecialFolderLocation),
// given back to the shell's allocator; when that allocator cannot be had the
// list goes to the COM task allocator, which the shell's is on every system
// where SHGetMalloc can fail, instead of being left behind.
#include <windows.h>
#include <shlobj.h>

#include "sys/com_ptr.h"
#include "sys/scoped_handle.h"

namespace kq {

struct ItemIdListTraits {
  using Handle = LPITEMIDLIST;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) {
    ComPtr<IMalloc> allocator;
    if (SUCCEEDED(SHGetMalloc(allocator.Receive())) && allocator)
      allocator->Free(h);
    else
      CoTaskMemFree(h);
  }
};

using ScopedItemIdList = ScopedGeneric<ItemIdListTraits>;

}  // namespace kq
