#pragma once
// CBlockingSocket: one Winsock 1.1 stream socket. Every operation returns a
// SocketResult and writes one trace line when it fails; sends and receives
// first wait for readiness with select(), bounded in whole seconds. The
// class does not start Winsock (KQHTTP does).
#include <winsock.h>

#include "http/scoped_socket.h"
#include "http/socket_result.h"

namespace kq {

class CBlockingSocket {
 public:
  CBlockingSocket() = default;
  ~CBlockingSocket() = default;  // an open socket is closed quietly; KQHTTP closes its own first
  CBlockingSocket(const CBlockingSocket&) = delete;
  CBlockingSocket& operator=(const CBlockingSocket&) = delete;

  int Create(int type);
  int Close();
  int Connect(const sockaddr_in* address);
  // One readiness wait and one send; `sent` gets send's result, -1 when it
  // was not called.
  int Send(const char* data, int length, int timeoutSeconds, int* sent);
  // Sends all `length` bytes; `sent` accumulates what went out.
  int Write(const char* data, int length, int timeoutSeconds, int* sent);
  // One readiness wait and one recv; `received` gets recv's result (0 when
  // the peer closed the connection).
  int Receive(char* buffer, int size, int timeoutSeconds, int* received);
  int GetSockAddr(sockaddr_in* address);
  // Resolves `name` (a dotted address resolves to itself); does not use the
  // socket. `address` is untouched on failure.
  static int GetHostByName(const char* name, int port, sockaddr_in* address);
  // Maps the calling thread's pending Winsock error.
  static int MapWinSockErrToBlockSockErr();

  bool HasSocket() const { return socket_.IsValid(); }

 private:
  // Waits until the socket is readable (or writable); 0 when it is, else
  // the result the operation ends with. `operation` names it in the trace.
  int WaitReady(bool forWrite, int timeoutSeconds, const char* operation);

  ScopedSocket socket_;
};

}  // namespace kq
