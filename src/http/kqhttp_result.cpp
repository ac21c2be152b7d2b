#include "http/kqhttp_result.h"

#include <cerrno>

#include "diag/debug_mgr.h"
#include "http/socket_result.h"

namespace kq {

std::string KQHTTPResultName(int code) {
  switch (code) {
    case KQHTTP_SUCCESS: return "KQHTTP_SUCCESS";
    case KQHTTP_SockReadFailed: return "KQHTTP_SockReadFailed";
    case KQHTTP_ParseHeaderFailed: return "KQHTTP_ParseHeaderFailed";
    case KQHTTP_ServerError: return "KQHTTP_ServerError";
    case KQHTTP_ServerUrlNotFound: return "KQHTTP_ServerUrlNotFound";
    case KQHTTP_ServerTimeOut: return "KQHTTP_ServerTimeOut";
    case KQHTTP_UserAbort: return "KQHTTP_UserAbort";
    case KQHTTP_WSAStartupError: return "KQHTTP_WSAStartupError";
    case KQHTTP_ParentDirNotExist: return "KQHTTP_ParentDirNotExist";
    case KQHTTP_PermissionDenied: return "KQHTTP_PermissionDenied";
    case KQHTTP_NoSpaceLeft: return "KQHTTP_NoSpaceLeft";
    case KQHTTP_FileInUse: return "KQHTTP_FileInUse";
    case KQHTTP_OutOfMemory: return "KQHTTP_OutOfMemory";
    case KQHTTP_UnsupportedScheme: return "KQHTTP_UnsupportedScheme";
    case KQHTTP_Error: return "KQHTTP_Error";
    default: return "INVALID_KQHTTPERROR";
  }
}

int MapBlockSockErrToKQHTTPErr(int socketResult) {
  switch (socketResult) {
    case Socket_Timeout:
    case Socket_NetworkError:
      return KQHTTP_ServerTimeOut;
    case Socket_NotInitialised:
      return KQHTTP_WSAStartupError;
    case Socket_Error:
      return KQHTTP_Error;
    case Socket_Success:
      DebugMgr::DebugOutput(20, "MAPPING BlockSock Socket_Success TO KQHTTP_SUCCESS, DID YOU USE THIS CORRECTLY?");
      return KQHTTP_SUCCESS;
    default:
      DebugMgr::DebugOutput(20, "MapBlockSockErrToKQHTTPErr: unhandled error %ld.\n", static_cast<long>(socketResult));
      return KQHTTP_Error;
  }
}

int MapErrnoToKQHTTPResult(int errnoValue) {
  switch (errnoValue) {
    case 0:
      DebugMgr::DebugOutput(2, "MAPPING ERRNO ZERO TO SUCCESS, DID YOU USE THIS CORRECTLY?");
      return KQHTTP_SUCCESS;
    case ENOENT: return KQHTTP_ParentDirNotExist;
    case ENOMEM: return KQHTTP_OutOfMemory;
    case EACCES: return KQHTTP_PermissionDenied;
    case ENOSPC: return KQHTTP_NoSpaceLeft;
    default:
      DebugMgr::DebugError("MapErrnoToKQHTTPResult : unhandled errno %ld.\n", static_cast<long>(errnoValue));
      return KQHTTP_Error;
  }
}

}  // namespace kq
