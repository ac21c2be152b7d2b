#pragma once
// KQHTTP: a small HTTP/1.0 client that fetches one resource by GET over
// plain TCP. Each request opens a new connection, writes the request, reads
// the response header and follows redirects itself (at most 100 in a row).
// GetDownloadFileSize asks only for the Content-Length; DoGetIntoBuffer
// returns the body piece by piece; DoGetIntoFile (file_download.cpp) copies
// it into a file with progress reports. Every operation returns a KQHTTP
// result code and traces through DebugMgr; nothing throws. The objects of a
// process share one Winsock start-up, counted by constructor and destructor.
#include <winsock.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "http/blocking_socket.h"
#include "http/download_progress.h"
#include "http/http_request.h"
#include "http/http_url.h"
#include "http/kqhttp_result.h"

namespace kq {

class KQHTTP {
 public:
  KQHTTP();
  ~KQHTTP();
  KQHTTP(const KQHTTP&) = delete;
  KQHTTP& operator=(const KQHTTP&) = delete;

  // Binds the object to `url` and closes any open connection. 0, or -1 when
  // the address does not parse, or KQHTTP_UnsupportedScheme when it has
  // another scheme than http (host, path and port then stay). A redirect is
  // bound the same way, so after a KQHTTP_UnsupportedScheme GetURL() names
  // the address that was refused.
  int SetURL(const std::string& url);
  // Makes a complete request to read the Content-Length; `size` gets it, -1
  // when the response names none or the request fails. Leaves no connection.
  int GetDownloadFileSize(int* size);
  // Makes the request when none is open, then receives up to `capacity`
  // body bytes; `received` is 0 at the end of the body, -1 after a failure.
  // A body with a Content-Length ends once that many bytes have arrived,
  // without waiting for the server to close; bytes beyond it that have
  // already arrived fail the read. Without one, the body ends at the close.
  int DoGetIntoBuffer(char* buffer, int capacity, int* received);
  // Closes the connection if one is open; the next read makes a new request.
  int Close();

  // Copies the resource into `localPath` on the calling thread and returns
  // the result. (The setup downloads on its worker thread and shows the
  // progress from the callback: it has no use for a download thread of its
  // own, so none exists.)
  int DoGetIntoFile(const char* localPath, DownloadProgressCallback progressCallback, uintptr_t callbackData,
                    int progressIntervalMs);

  // Requests through an HTTP proxy (nothing in the setup uses one).
  void SetProxy(bool enabled, const ProxySettings& settings);
  void SetTimeoutSeconds(int seconds) { timeoutSeconds = seconds; }

  int GetDownloadStatus() const { return downloadStatus; }
  int GetDownloadResult() const { return downloadResult; }
  int GetBytesPerSecond() const { return bytesPerSecond; }
  // The system error (112 for a full disk) of the local file operation that
  // ended the last DoGetIntoFile, 0 when none failed.
  DWORD GetFileError() const { return fileError; }
  const std::string& GetURL() const { return url; }

 private:
  friend class SocketReceiver;
  // Whether the most recent Winsock start-up attempt failed.
  static bool StartupFailed();

  int KQHTTPStartup();
  int KQHTTPTerminate();
  int ParseURL(const std::string& address);
  int CheckReadHeader(int depth);
  int SendRequest();
  int ReadHttpHeader(int timeout);
  int ResponseAllRight();
  int ReceiveBody(char* buffer, int capacity, int* received);
  std::string HeaderText() const;
  int PerformFileDownload();
  int ReportProgress(int totalSize, int bytesSoFar, int status);

  std::string url;
  std::string host;
  std::string path;
  int port = kDefaultHttpPort;
  int timeoutSeconds = 5;
  bool requestPending = true;
  CBlockingSocket socket;
  bool useProxy = false;
  ProxySettings proxy;
  DownloadProgressCallback progressCallback = nullptr;
  uintptr_t callbackData = 0;
  int progressIntervalMs = 200;
  int downloadStatus = DownloadStarting;
  int downloadResult = 0;
  std::string localPath;
  std::vector<char> headerBuffer;  // kHeaderBufferSize bytes once the first header is read
  int headerLength = 0;
  int bodyLength = -1;  // the open response's Content-Length, -1 when it has none
  int64_t bodyReceived = 0;
  int bytesPerSecond = -1;
  DWORD fileError = 0;
};

}  // namespace kq
