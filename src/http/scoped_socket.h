#pragma once
// ScopedSocket: the owner of one Winsock socket. 0 stands for no socket, as
// it always has in CBlockingSocket; TryClose answers closesocket's result.
#include <winsock.h>

#include "sys/scoped_handle.h"

namespace kq {

struct SocketTraits {
  using Handle = SOCKET;
  static Handle Invalid() { return 0; }
  static bool IsValid(Handle h) { return h != 0 && h != INVALID_SOCKET; }
  static bool Close(Handle h) { return closesocket(h) != SOCKET_ERROR; }
};

using ScopedSocket = ScopedGeneric<SocketTraits>;

}  // namespace kq
