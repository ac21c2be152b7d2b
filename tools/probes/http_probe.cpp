// http_probe.exe: drives the HTTP client for an e2e test and prints what
// happened, with the client's trace lines (DebugMgr at the given level) on
// standard output.
//   http_probe.exe get <url> <local file> [options]   DoGetIntoFile
//   http_probe.exe size <url> [options]               GetDownloadFileSize
//   http_probe.exe body <url> [options]               DoGetIntoBuffer until the end
// Options: --abort-at <n> (the n-th callback answers 201),
//   --interval <ms>, --timeout <s>, --level <n> (default 20),
//   --proxy <host> <port>, --auth <user> <password>
// Prints "cb status=.. total=.. bytes=.. bps=.." per callback and finally
// "result=<code> <name> status=<downloadStatus> size=<n> bytes=<n>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "diag/debug_mgr.h"
#include "http/kqhttp.h"

namespace {

int callbacks = 0;
int abortAt = 0;

int KQ_CDECL Progress(const char* /*localPath*/, int total, int bytes, int status, int bps, uintptr_t data) {
  ++callbacks;
  std::printf("cb status=%d total=%d bytes=%d bps=%d data=%u\n", status, total, bytes, bps,
              static_cast<unsigned>(data));
  std::fflush(stdout);
  return callbacks == abortAt ? kq::ProgressAbort : kq::ProgressContinue;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: http_probe get|size|body <url> [file] [options]\n");
    return 2;
  }
  const std::string command = argv[1];
  const std::string url = argv[2];
  std::string localPath;
  int first = 3;
  if (command == "get" && argc > 3) {
    localPath = argv[3];
    first = 4;
  }
  int interval = 200;
  int timeout = 5;
  int level = 20;
  bool useProxy = false;
  kq::ProxySettings proxy;
  for (int i = first; i < argc; ++i) {
    const std::string option = argv[i];
    const bool more = i + 1 < argc;
    if (option == "--abort-at" && more) abortAt = std::atoi(argv[++i]);
    else if (option == "--interval" && more) interval = std::atoi(argv[++i]);
    else if (option == "--timeout" && more) timeout = std::atoi(argv[++i]);
    else if (option == "--level" && more) level = std::atoi(argv[++i]);
    else if (option == "--proxy" && i + 2 < argc) {
      useProxy = true;
      proxy.proxyHost = argv[++i];
      proxy.proxyPort = std::atoi(argv[++i]);
    } else if (option == "--auth" && i + 2 < argc) {
      proxy.useProxyAuthorization = true;
      proxy.proxyUser = argv[++i];
      proxy.proxyPassword = argv[++i];
    }
  }
  kq::DebugMgr::Settings settings;
  settings.debugLevel = level;
  kq::DebugMgr::Configure(settings);

  kq::KQHTTP client;
  client.SetTimeoutSeconds(timeout);
  if (useProxy || proxy.useProxyAuthorization) client.SetProxy(useProxy, proxy);
  const int set = client.SetURL(url);
  std::printf("seturl=%d\n", set);
  int result = 0;
  int size = -1;
  long long bytes = 0;
  if (command == "get") {
    result = client.DoGetIntoFile(localPath.c_str(), &Progress, 1234, interval);
  } else if (command == "size") {
    result = client.GetDownloadFileSize(&size);
  } else if (command == "body") {
    char buffer[4096];
    for (;;) {
      int received = 0;
      result = client.DoGetIntoBuffer(buffer, sizeof buffer, &received);
      if (result != 0 || received <= 0) break;
      bytes += received;
    }
    client.Close();
  }
  std::printf("result=%d %s status=%d size=%d bytes=%lld bps=%d\n", result, kq::KQHTTPResultName(result).c_str(),
              client.GetDownloadStatus(), size, bytes, client.GetBytesPerSecond());
  std::fflush(stdout);
  return 0;
}
