#pragma once
// The bytes of a GET request. Portable.
#include <string>

#include "http/http_url.h"

namespace kq {

struct ProxySettings {
  std::string proxyHost;
  int proxyPort = kDefaultHttpPort;
  bool useProxyAuthorization = false;
  std::string proxyUser;
  std::string proxyPassword;
};

// The request buffer of the client: no piece may be longer than this less one.
constexpr size_t kRequestBufferSize = 4096;

// A request goes out in up to three writes: the request line, the proxy
// authorization line (empty when not used) and the header block, which
// carries the Host line and ends with the empty line.
struct HttpRequest {
  std::string requestLine;
  std::string authorization;
  std::string headerBlock;
};

// False when a piece does not fit the request buffer.
bool BuildHttpRequest(const HttpAddress& target, bool useProxy, const ProxySettings& proxy, HttpRequest& request);

}  // namespace kq
