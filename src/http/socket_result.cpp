#include "http/socket_result.h"

#include "diag/debug_mgr.h"

namespace kq {

std::string BlockSockErrName(int code) {
  switch (code) {
    case Socket_Success:
      return "CBlockingSocket::Socket_Sucess ";
    case Socket_Timeout:
      return "CBlockingSocket::Socket_Timeout ";
    case Socket_NetworkError:
      return "CBlockingSocket::Socket_NetworkError ";
    case Socket_Error:
      return "CBlockingSocket::Socket_Error ";
    default:
      return "INVALID_BLOCKSOCKERROR";
  }
}

int MapWinSockErrorNumber(long winsockError) {
  int result;
  switch (winsockError) {
    case 0:
      DebugMgr::DebugOutput(20, "MAPPING Winsock ERROR_SUCCESS TO SUCCESS, DID YOU USE THIS CORRECTLY?\n");
      return Socket_Success;
    case 10004:  // WSAEINTR
    case 10014:  // WSAEFAULT
    case 10058:  // WSAESHUTDOWN
    case 10060:  // WSAETIMEDOUT
    case 10061:  // WSAECONNREFUSED
    case 11001:  // WSAHOST_NOT_FOUND
    case 11002:  // WSATRY_AGAIN
    case 11003:  // WSANO_RECOVERY
    case 11004:  // WSANO_DATA
      result = Socket_Timeout;
      break;
    case 10050:  // WSAENETDOWN
    case 10051:  // WSAENETUNREACH
    case 10064:  // WSAEHOSTDOWN
    case 10065:  // WSAEHOSTUNREACH
      result = Socket_NetworkError;
      break;
    case 10093:  // WSANOTINITIALISED
      result = Socket_NotInitialised;
      break;
    case 10013:  // WSAEACCES
    case 10036:  // WSAEINPROGRESS
    case 10037:  // WSAEALREADY
    case 10039:  // WSAEDESTADDRREQ
    case 10042:  // WSAENOPROTOOPT
    case 10043:  // WSAEPROTONOSUPPORT
    case 10044:  // WSAESOCKTNOSUPPORT
    case 10045:  // WSAEOPNOTSUPP
    case 10046:  // WSAEPFNOSUPPORT
    case 10047:  // WSAEAFNOSUPPORT
    case 10048:  // WSAEADDRINUSE
    case 10049:  // WSAEADDRNOTAVAIL
    case 10056:  // WSAEISCONN
    case 10057:  // WSAENOTCONN
      result = Socket_Error;
      break;
    default:
      DebugMgr::DebugOutput(20, "CBlockingSocket::MapWinSockErrToBlockSockErr : unhandled winsock error %ld.\n",
                            winsockError);
      return Socket_Error;
  }
  DebugMgr::DebugOutput(20, "CBlockingSocket::MapWinSockErrToBlockSockErr : winsock error %ld \n", winsockError);
  return result;
}

}  // namespace kq
