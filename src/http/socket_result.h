#pragma once
// Result codes of CBlockingSocket and the mapping of Winsock error numbers to
// them. Portable: the mapping table is plain numbers, so the host build
// tests it; the socket itself reads WSAGetLastError and hands it here.
#include <string>

namespace kq {

enum SocketResult : int {
  Socket_Success = 0,
  Socket_Timeout = 1,          // no answer, refused, name not found, interrupted
  Socket_NetworkError = 2,     // network or host down or unreachable
  Socket_NotInitialised = 3,   // Winsock was not started
  Socket_Error = -1,           // anything else, and every use without a socket
};

// The trace name of a result code ("INVALID_BLOCKSOCKERROR" for 3 and every
// value outside the table).
std::string BlockSockErrName(int code);

// Maps one Winsock error number and writes the mapping's trace line.
int MapWinSockErrorNumber(long winsockError);

}  // namespace kq
