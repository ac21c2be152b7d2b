#include "http/kqhttp.h"

#include "diag/debug_mgr.h"
#include "http/http_response.h"

namespace kq {

namespace {

// Process-wide: objects are made and destroyed by one thread at a time.
int startupCount = 0;
bool startupFailed = false;

constexpr int kMaxRedirects = 100;

void TraceSocketStep(const char* line, int socketResult) {
  DebugMgr::DebugOutput(20, line, static_cast<long>(socketResult), BlockSockErrName(socketResult).c_str());
}

}  // namespace

// The header reader's view of the client's socket.
class SocketReceiver : public ByteReceiver {
 public:
  SocketReceiver(CBlockingSocket& socket, int timeoutSeconds) : socket_(socket), timeoutSeconds_(timeoutSeconds) {}
  int Receive(char* buffer, int size, int* received) override {
    return socket_.Receive(buffer, size, timeoutSeconds_, received);
  }

 private:
  CBlockingSocket& socket_;
  int timeoutSeconds_;
};

bool KQHTTP::StartupFailed() { return startupFailed; }

KQHTTP::KQHTTP() {
  startupFailed = false;
  KQHTTPStartup();
}

KQHTTP::~KQHTTP() {
  if (Close() != KQHTTP_SUCCESS) DebugMgr::DebugError("KQHTTP::~KQHTTP : Close( ) \n");
  KQHTTPTerminate();
}

int KQHTTP::KQHTTPStartup() {
  if (++startupCount != 1) return KQHTTP_SUCCESS;
  WSADATA data;
  int failed = WSAStartup(0x0101, &data);
  if (failed == 0) {
    DebugMgr::DebugOutput(40, "KQHTTP::KQHTTP : WSAStartup (req=%d.%d) returns high version=%d.%d, low version=%d.%d.\n",
                          1, 1, LOBYTE(data.wHighVersion), HIBYTE(data.wHighVersion), LOBYTE(data.wVersion),
                          HIBYTE(data.wVersion));
    return KQHTTP_SUCCESS;
  }
  DebugMgr::DebugOutput(40, "KQHTTP::KQHTTP : WSAStartup (requested version=%d.%d) FAILED %d (wsalasterror=%ld).\n", 1,
                        1, failed, static_cast<long>(WSAGetLastError()));
  failed = WSAStartup(0x0001, &data);
  if (failed == 0) {
    DebugMgr::DebugOutput(40, "KQHTTP::KQHTTP : WSAStartup (req=%d.%d) returns high version=%d.%d, low version=%d.%d.\n",
                          1, 0, LOBYTE(data.wHighVersion), HIBYTE(data.wHighVersion), LOBYTE(data.wVersion),
                          HIBYTE(data.wVersion));
    return KQHTTP_SUCCESS;
  }
  DebugMgr::DebugOutput(40, "KQHTTP::KQHTTP : WSAStartup (requested version=%d.%d) FAILED %d (wsalasterror=%ld).\n", 1,
                        0, failed, static_cast<long>(WSAGetLastError()));
  startupFailed = true;
  return KQHTTP_WSAStartupError;
}

int KQHTTP::KQHTTPTerminate() {
  if (--startupCount != 0 || startupFailed) return KQHTTP_SUCCESS;
  if (WSACleanup() == 0) return KQHTTP_SUCCESS;
  DebugMgr::DebugError("KQHTTP::KQHTTPTerminate : WSACleanup FAILED %ld \"%s\": SOCKET_ERROR %ld\n", -1L,
                       "KQHTTP_Error", static_cast<long>(WSAGetLastError()));
  return KQHTTP_Error;
}

void KQHTTP::SetProxy(bool enabled, const ProxySettings& settings) {
  useProxy = enabled;
  proxy = settings;
}

int KQHTTP::ParseURL(const std::string& address) {
  if (startupFailed) {
    DebugMgr::DebugError("KQHTTP ParseURL: WSAStartupError: for URL \"%s\"\n", address.c_str());
    return KQHTTP_Error;
  }
  HttpAddress parsed;
  const UrlParse parse = ParseHttpUrl(address, parsed);
  if (parse == UrlParse::kOtherScheme) return KQHTTP_UnsupportedScheme;
  if (parse != UrlParse::kOk) return KQHTTP_Error;
  host = parsed.host;
  path = parsed.path;
  port = parsed.port;
  return KQHTTP_SUCCESS;
}

int KQHTTP::SetURL(const std::string& address) {
  url = address;
  if (startupFailed) {
    DebugMgr::DebugError("KQHTTP SetURL : WSAStartupError %ld \"%s\" for URL \"%s\"\n", 7L, "KQHTTP_WSAStartupError",
                         url.c_str());
  }
  int result = ParseURL(url);
  if (result != KQHTTP_SUCCESS) {
    if (result != KQHTTP_UnsupportedScheme) result = KQHTTP_Error;
    DebugMgr::DebugError("KQHTTP SetURL : ParseURL FAILED %ld \"%s\" for URL \"%s\"\n", static_cast<long>(result),
                         KQHTTPResultName(result).c_str(), url.c_str());
  } else {
    requestPending = true;
  }
  bytesPerSecond = -1;
  const int closed = Close();
  if (closed != KQHTTP_SUCCESS)
    DebugMgr::DebugError("KQHTTP SetURL : Close() FAILED %ld for URL \"%s\"\n", static_cast<long>(closed), url.c_str());
  return result;
}

std::string KQHTTP::HeaderText() const {
  if (headerBuffer.empty()) return std::string();
  return std::string(headerBuffer.data(), static_cast<size_t>(headerLength));
}

// Steps 2 to 8 of a request: connect and write the request. 0 or a KQHTTP
// result, with the step's trace written.
int KQHTTP::SendRequest() {
  int s = socket.Create(SOCK_STREAM);
  if (s != Socket_Success) {
    TraceSocketStep("KQHTTP::CheckReadHeader: socket create error %ld. \"%s\"\n", s);
    return MapBlockSockErrToKQHTTPErr(s);
  }

  sockaddr_in peer;
  s = useProxy ? CBlockingSocket::GetHostByName(proxy.proxyHost.c_str(), proxy.proxyPort, &peer)
               : CBlockingSocket::GetHostByName(host.c_str(), port, &peer);
  if (s != Socket_Success) {
    TraceSocketStep("KQHTTP::CheckReadHeader: socket gethostbyname error %ld.\"%s\" \n", s);
    return MapBlockSockErrToKQHTTPErr(s);
  }
  s = socket.Connect(&peer);
  if (s != Socket_Success) {
    TraceSocketStep("KQHTTP::CheckReadHeader: socket connect error %ld. \"%s\" \n", s);
    return MapBlockSockErrToKQHTTPErr(s);
  }
  sockaddr_in local;
  s = socket.GetSockAddr(&local);
  if (s != Socket_Success) {
    TraceSocketStep("KQHTTP::CheckReadHeader: socket GetSockAddr error %ld. \"%s\" \n", s);
    return MapBlockSockErrToKQHTTPErr(s);
  }
  DebugMgr::DebugOutput(40, "SOCK CLIENT: GetSockAddr = %s, %d\n", inet_ntoa(local.sin_addr), ntohs(local.sin_port));

  HttpAddress target;
  target.host = host;
  target.path = path;
  target.port = port;
  HttpRequest request;
  if (!BuildHttpRequest(target, useProxy, proxy, request)) {
    DebugMgr::DebugError("KQHTTP CheckReadHeader: request does not fit %d bytes for url \"%s\"\n",
                         static_cast<int>(kRequestBufferSize), url.c_str());
    return KQHTTP_Error;
  }
  for (const std::string* piece : {&request.requestLine, &request.authorization, &request.headerBlock}) {
    if (piece->empty()) continue;
    int sent = 0;
    s = socket.Write(piece->data(), static_cast<int>(piece->size()), timeoutSeconds, &sent);
    if (s != Socket_Success) {
      TraceSocketStep("KQHTTP::CheckReadHeader: socket write error %ld. \"%s\" \n", s);
      return MapBlockSockErrToKQHTTPErr(s);
    }
  }
  return KQHTTP_SUCCESS;
}

int KQHTTP::CheckReadHeader(int depth) {
  // Redirects are followed in this loop rather than by recursion; `depth`
  // counts them as the recursive form would.
  for (;;) {
    if (!requestPending) return KQHTTP_SUCCESS;
    int r = SendRequest();
    if (r == KQHTTP_SUCCESS) r = ReadHttpHeader(timeoutSeconds);
    if (r == KQHTTP_SUCCESS) {
      r = ResponseAllRight();
      if (r == KQHTTP_SUCCESS) {
        requestPending = false;
        int32_t length = -1;
        bodyLength = FindContentLength(HeaderText(), length) == ContentLength::kFound ? length : -1;
        bodyReceived = 0;
        return KQHTTP_SUCCESS;
      }
      if (r == KQHTTP_ServerUrlNotFound) {
        DebugMgr::DebugError("KQHTTP CheckReadHeader: server 404 error %ld \"%s\" for url \"%s\"\n", 4L,
                             "KQHTTP_ServerUrlNotFound", url.c_str());
      } else if (r != KQHTTP_Redirect) {
        DebugMgr::DebugError("KQHTTP CheckReadHeader: server error: %ld \"%s\" for url \"%s\"\n",
                             static_cast<long>(r), KQHTTPResultName(r).c_str(), url.c_str());
      }
    }
    if (socket.HasSocket()) {
      const int s = socket.Close();
      if (s != Socket_Success) {
        r = MapBlockSockErrToKQHTTPErr(s);
        TraceSocketStep("KQHTTP::CheckReadHeader: socket close error %ld. \"%s\" \n", s);
      }
    }
    if (r != KQHTTP_Redirect) return r;
    if (depth >= kMaxRedirects) {
      DebugMgr::DebugError("KQHTTP CheckReadHeader: TOO MANY REDIRECTS for url \"%s\"\n", url.c_str());
      return KQHTTP_Error;
    }
    ++depth;
  }
}

int KQHTTP::ReadHttpHeader(int timeout) {
  if (headerBuffer.empty()) headerBuffer.assign(kHeaderBufferSize, '\0');
  headerLength = 0;
  SocketReceiver receiver(socket, timeout);
  return ReadResponseHeader(receiver, headerBuffer.data(), headerLength);
}

int KQHTTP::ResponseAllRight() {
  std::string location;
  int status = 0;
  const int verdict = ClassifyResponse(HeaderText(), url, location, status);
  if (verdict != KQHTTP_Redirect) return verdict;
  HttpAddress current;
  current.host = host;
  current.path = path;
  current.port = port;
  // A redirect to an address this client cannot fetch ends the download
  // here, before any request is made of it.
  const int target = SetURL(RedirectTarget(current, location));
  if (target != KQHTTP_SUCCESS) return target;
  DebugMgr::DebugOutput(20, "KHTTP ResponseAllRight : response code %ld, attempting to redirect to url \"%s\".\n",
                        static_cast<long>(status), url.c_str());
  return KQHTTP_Redirect;
}

int KQHTTP::GetDownloadFileSize(int* size) {
  *size = -1;
  int r = CheckReadHeader(0);
  if (r != KQHTTP_SUCCESS) {
    DebugMgr::DebugError("KQHTTP GetDownloadFileSize : Read header FAILED %ld \"%s\" for path \"%s\"\n",
                         static_cast<long>(r), KQHTTPResultName(r).c_str(), localPath.c_str());
  } else {
    int32_t length = -1;
    switch (FindContentLength(HeaderText(), length)) {
      case ContentLength::kFound:
        *size = length;
        break;
      case ContentLength::kMissing:
        DebugMgr::DebugError(" KQHTTP GetDownloadFileSize : FAILED, content-length not found in server response "
                             "header for path \"%s\"\n",
                             localPath.c_str());
        r = KQHTTP_Error;
        break;
      case ContentLength::kNoLineEnd:
        DebugMgr::DebugError("KQHTTP GetDownloadFileSize : FAILED, error parsing for CR in content-length header "
                             "for path \"%s\"\n",
                             localPath.c_str());
        r = KQHTTP_Error;
        break;
      case ContentLength::kNotANumber:
        DebugMgr::DebugError(" KQHTTP GetDownloadFileSize : FAILED, content-length is not a number for path \"%s\"\n",
                             localPath.c_str());
        r = KQHTTP_Error;
        break;
    }
  }
  if (Close() != KQHTTP_SUCCESS) DebugMgr::DebugError(" KQHTTP::GetDownloadFileSize : Close( ) FAILED \n");
  return r;
}

int KQHTTP::DoGetIntoBuffer(char* buffer, int capacity, int* received) {
  *received = -1;
  int result = CheckReadHeader(0);
  if (result != KQHTTP_SUCCESS) return result;
  result = ReceiveBody(buffer, capacity, received);
  DebugMgr::DebugOutput(40, "KQHTTP::DoGetIntoBuffer bytes received = %ld\n", static_cast<long>(*received));
  return result;
}

int KQHTTP::ReceiveBody(char* buffer, int capacity, int* received) {
  // Once the announced body is in, only what has already arrived is looked
  // at: a server may hold the connection open long after the last byte.
  const bool complete = bodyLength >= 0 && bodyReceived == bodyLength;
  const int s = socket.Receive(buffer, capacity, complete ? 0 : timeoutSeconds, received);
  if (complete) {
    if (s == Socket_Success && *received > 0) {
      DebugMgr::DebugError("KQHTTP::DoGetIntoBuffer: body longer than the %ld bytes announced.\n",
                           static_cast<long>(bodyLength));
      *received = -1;
      return KQHTTP_Error;
    }
    *received = 0;  // nothing more, or the close: the end either way
    return KQHTTP_SUCCESS;
  }
  if (s != Socket_Success) {
    DebugMgr::DebugOutput(20, "KQHTTP::DoGetIntoBuffer: socket error %ld. \"%s\"\n", static_cast<long>(s),
                          BlockSockErrName(s).c_str());
    return MapBlockSockErrToKQHTTPErr(s);
  }
  bodyReceived += *received;
  if (bodyLength >= 0 && bodyReceived > bodyLength) {
    DebugMgr::DebugError("KQHTTP::DoGetIntoBuffer: body longer than the %ld bytes announced.\n",
                         static_cast<long>(bodyLength));
    *received = -1;
    return KQHTTP_Error;
  }
  return KQHTTP_SUCCESS;
}

int KQHTTP::Close() {
  requestPending = true;
  headerLength = 0;
  if (!socket.HasSocket()) return KQHTTP_SUCCESS;
  int result = KQHTTP_SUCCESS;
  const int s = socket.Close();
  if (s != Socket_Success) {
    result = MapBlockSockErrToKQHTTPErr(s);
    DebugMgr::DebugOutput(20, "KQHTTP::Close: socket error %ld. \"%s\"\n", static_cast<long>(s),
                          BlockSockErrName(s).c_str());
  }
  return result;
}

}  // namespace kq
