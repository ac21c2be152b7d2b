#include "http/blocking_socket.h"

#include <cstring>

#include "diag/debug_mgr.h"

namespace kq {

namespace {

// Maps the pending error after a failed call and traces "<operation>: error".
int TraceAndMap(const char* operation) {
  const long error = WSAGetLastError();
  DebugMgr::DebugOutput(20, "CBlockingSocket::%s: error %ld.\n", operation, error);
  return MapWinSockErrorNumber(error);
}

}  // namespace

int CBlockingSocket::MapWinSockErrToBlockSockErr() { return MapWinSockErrorNumber(WSAGetLastError()); }

int CBlockingSocket::Create(int type) {
  if (socket_) {
    DebugMgr::DebugOutput(20, "CBlockingSocket::Create: socket is not null error \n");
    return Socket_Error;
  }
  const SOCKET created = socket(AF_INET, type, 0);
  if (created == INVALID_SOCKET) return TraceAndMap("Create");
  socket_.Reset(created);
  return Socket_Success;
}

int CBlockingSocket::Close() {
  if (!socket_) {
    DebugMgr::DebugOutput(20, "CBlockingSocket::Close: socket is null error \n");
    return Socket_Error;
  }
  const bool closed = socket_.TryClose();
  socket_.Release();  // a socket that closesocket refused is given up all the same
  if (!closed) return TraceAndMap("Close");
  return Socket_Success;
}

int CBlockingSocket::Connect(const sockaddr_in* address) {
  if (!socket_) {
    DebugMgr::DebugOutput(20, "CBlockingSocket::Connect: socket is null error.\n");
    return Socket_Error;
  }
  if (connect(socket_.Get(), reinterpret_cast<const sockaddr*>(address), sizeof(sockaddr_in)) == SOCKET_ERROR)
    return TraceAndMap("Connect");
  return Socket_Success;
}

int CBlockingSocket::WaitReady(bool forWrite, int timeoutSeconds, const char* operation) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket_.Get(), &set);
  timeval wait = {timeoutSeconds, 0};
  const int ready = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &wait);
  if (ready != 0) return Socket_Success;  // ready, or select failed: the call itself will tell
  const int mapped = TraceAndMap(operation);
  // A silent peer leaves no error pending; it must not block the call that
  // follows, so the wait running out is a time-out in any case.
  return mapped == Socket_Success ? static_cast<int>(Socket_Timeout) : mapped;
}

int CBlockingSocket::Send(const char* data, int length, int timeoutSeconds, int* sent) {
  *sent = -1;
  if (!socket_) {
    DebugMgr::DebugOutput(20, "CBlockingSocket::Send: socket is null error.\n");
    return Socket_Error;
  }
  const int waited = WaitReady(true, timeoutSeconds, "Send");
  if (waited != Socket_Success) return waited;
  *sent = send(socket_.Get(), data, length, 0);
  if (*sent == SOCKET_ERROR) return TraceAndMap("Send");
  return Socket_Success;
}

int CBlockingSocket::Write(const char* data, int length, int timeoutSeconds, int* sent) {
  *sent = 0;
  while (*sent < length) {
    int piece = 0;
    const int result = Send(data + *sent, length - *sent, timeoutSeconds, &piece);
    if (result != Socket_Success) {
      DebugMgr::DebugOutput(20, "CBlockingSocket::Write: error %ld.\n", static_cast<long>(WSAGetLastError()));
      return result;
    }
    *sent += piece;
  }
  return Socket_Success;
}

int CBlockingSocket::Receive(char* buffer, int size, int timeoutSeconds, int* received) {
  *received = -1;
  if (!socket_) {
    DebugMgr::DebugOutput(20, "CBlockingSocket::Receive: socket is null error.\n");
    return Socket_Error;
  }
  const int waited = WaitReady(false, timeoutSeconds, "Receive");
  if (waited != Socket_Success) return waited;
  *received = recv(socket_.Get(), buffer, size, 0);
  if (*received == SOCKET_ERROR) return TraceAndMap("Receive");
  return Socket_Success;
}

int CBlockingSocket::GetSockAddr(sockaddr_in* address) {
  if (!socket_) {
    DebugMgr::DebugOutput(20, "CBlockingSocket::GetSockAddr: socket is null error.\n");
    return Socket_Error;
  }
  int length = sizeof(sockaddr_in);
  if (getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(address), &length) == SOCKET_ERROR)
    return TraceAndMap("GetSockAddr");
  return Socket_Success;
}

int CBlockingSocket::GetHostByName(const char* name, int port, sockaddr_in* address) {
  const hostent* entry = gethostbyname(name);
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr) {
    const int mapped = TraceAndMap("GetHostByName");
    // A failed lookup stays a failure even with no error pending.
    return mapped == Socket_Success ? static_cast<int>(Socket_Timeout) : mapped;
  }
  sockaddr_in resolved;
  std::memset(&resolved, 0, sizeof resolved);
  resolved.sin_family = AF_INET;
  resolved.sin_port = htons(static_cast<u_short>(port));
  std::memcpy(&resolved.sin_addr, entry->h_addr_list[0], 4);
  *address = resolved;
  return Socket_Success;
}

}  // namespace kq
