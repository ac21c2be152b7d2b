// One download for the HTTP benchmark (bench/http_bench.py drives it under
// Wine against a loopback server and compares it with curl on the host):
//   http_bench.exe kqhttp <url> <file>      KQHTTP::DoGetIntoFile, as the setup does
//   http_bench.exe urlmon <url> <file>      Wine's own URLDownloadToFileA
//   http_bench.exe recv4k <url> <file>      a plain socket: request, recv into 4 KiB, fwrite
//   http_bench.exe recv64k <url> <file>     the same with 64 KiB receives
//   http_bench.exe kqbuf64k <url> <file>    KQHTTP's size request and DoGetIntoBuffer
//                                           (select and recv), but 64 KiB pieces
// Prints "ms=<download time> bytes=<file size> peak_kb=<peak working set>".
// The two recv loops show what the client's 4096-byte pieces and its
// two-byte header reads cost against the bare socket.
#include <winsock.h>
#include <windows.h>
#include <psapi.h>
#include <urlmon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "http/http_url.h"
#include "http/kqhttp.h"

namespace {

int PlainDownload(const std::string& url, const char* file, int pieceSize) {
  kq::HttpAddress address;
  if (kq::ParseHttpUrl(url, address) != kq::UrlParse::Ok) return 1;
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return 1;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in peer = {};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<u_short>(address.port));
  peer.sin_addr.s_addr = inet_addr(address.host.c_str());
  if (connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) return 1;
  const std::string request = "GET " + address.path + " HTTP/1.0\r\nHost: " + kq::HostAndPort(address) + "\r\n\r\n";
  send(s, request.data(), static_cast<int>(request.size()), 0);
  FILE* out = std::fopen(file, "wb");
  if (out == nullptr) return 1;
  std::vector<char> buffer(static_cast<size_t>(pieceSize));
  std::string header;
  bool inBody = false;
  int n;
  while ((n = recv(s, buffer.data(), pieceSize, 0)) > 0) {
    if (inBody) {
      std::fwrite(buffer.data(), 1, static_cast<size_t>(n), out);
      continue;
    }
    header.append(buffer.data(), static_cast<size_t>(n));
    const size_t end = header.find("\r\n\r\n");
    if (end != std::string::npos) {
      inBody = true;
      std::fwrite(header.data() + end + 4, 1, header.size() - end - 4, out);
    }
  }
  std::fclose(out);
  closesocket(s);
  WSACleanup();
  return 0;
}

// The client's own requests and readiness waits, with pieces of 64 KiB
// instead of the download's 4096 bytes.
int ClientWithLargePieces(const char* url, const char* file) {
  kq::KQHTTP client;
  int size = -1;
  if (client.SetURL(url) != 0 || client.GetDownloadFileSize(&size) != 0) return 1;
  FILE* out = std::fopen(file, "wb");
  if (out == nullptr) return 1;
  std::vector<char> buffer(65536);
  int received = 0;
  int result;
  while ((result = client.DoGetIntoBuffer(buffer.data(), static_cast<int>(buffer.size()), &received)) == 0 &&
         received > 0)
    std::fwrite(buffer.data(), 1, static_cast<size_t>(received), out);
  std::fclose(out);
  client.Close();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: http_bench.exe kqhttp|kqbuf64k|urlmon|recv4k|recv64k <url> <file>\n");
    return 2;
  }
  const std::string mode = argv[1];
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int failed = 0;
  if (mode == "kqhttp") {
    kq::KQHTTP client;
    failed = client.SetURL(argv[2]) != 0 || client.DoGetIntoFile(argv[3], nullptr, 0, 200) != 0;
  } else if (mode == "urlmon") {
    failed = FAILED(URLDownloadToFileA(nullptr, argv[2], argv[3], 0, nullptr));
  } else if (mode == "kqbuf64k") {
    failed = ClientWithLargePieces(argv[2], argv[3]);
  } else if (mode == "recv4k") {
    failed = PlainDownload(argv[2], argv[3], 4096);
  } else if (mode == "recv64k") {
    failed = PlainDownload(argv[2], argv[3], 65536);
  } else {
    return 2;
  }
  QueryPerformanceCounter(&end);
  if (failed) {
    std::printf("failed\n");
    return 1;
  }
  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  GetFileAttributesExA(argv[3], GetFileExInfoStandard, &attributes);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("ms=%.1f bytes=%lu peak_kb=%lu\n",
              (end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart),
              attributes.nFileSizeLow, static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024));
  return 0;
}
