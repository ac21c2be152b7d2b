#pragma once
// Result codes of the HTTP client and the file download, their trace names,
// and the mappings into them from socket results and from the C library's
// errno. Portable.
#include <string>

namespace kq {

enum KQHTTPResult : int {
  KQHTTP_SUCCESS = 0,
  KQHTTP_SockReadFailed = 1,       // the connection ended inside the response header
  KQHTTP_ParseHeaderFailed = 2,    // the response header does not fit the header buffer
  KQHTTP_ServerError = 3,
  KQHTTP_ServerUrlNotFound = 4,
  KQHTTP_ServerTimeOut = 5,
  KQHTTP_UserAbort = 6,
  KQHTTP_WSAStartupError = 7,
  KQHTTP_ParentDirNotExist = 8,
  KQHTTP_PermissionDenied = 9,
  KQHTTP_NoSpaceLeft = 10,
  KQHTTP_FileInUse = 11,
  KQHTTP_OutOfMemory = 12,
  KQHTTP_Redirect = 13,            // internal: the object now holds a redirect target
  KQHTTP_UnsupportedScheme = 14,   // an address (or a redirect) to https:// or another scheme
  KQHTTP_Error = -1,
};

// "KQHTTP_SUCCESS" ... ; "INVALID_KQHTTPERROR" for 13 and unknown values.
std::string KQHTTPResultName(int code);

int MapBlockSockErrToKQHTTPErr(int socketResult);

// errno of a failed file operation: ENOENT 8, ENOMEM 12, EACCES 9, ENOSPC 10,
// 0 gives 0 (traced as a misuse), anything else -1 (traced).
int MapErrnoToKQHTTPResult(int errnoValue);

}  // namespace kq
