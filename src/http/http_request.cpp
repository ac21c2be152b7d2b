#include "http/http_request.h"

#include "http/base64.h"

namespace kq {

namespace {

constexpr char kFixedHeaders[] =
    "User-Agent: Mozilla/1.22 (Windows; U; 32bit)\r\n"
    "Accept: */*\r\n"
    "Accept: image/gif\r\n"
    "Accept: image/x-xbitmap\r\n"
    "Accept: image/jpeg\r\n"
    "\r\n";

bool Fits(const std::string& piece) { return piece.size() < kRequestBufferSize; }

}  // namespace

bool BuildHttpRequest(const HttpAddress& target, bool useProxy, const ProxySettings& proxy, HttpRequest& request) {
  // Through a proxy the request names the whole address, port included.
  const std::string resource = useProxy ? "http://" + HostAndPort(target) + target.path : target.path;
  request.requestLine = "GET " + resource + " HTTP/1.0\r\n";
  request.authorization.clear();
  if (proxy.useProxyAuthorization) {
    request.authorization =
        "Proxy-Authorization: Basic " + Base64Encode(proxy.proxyUser + ":" + proxy.proxyPassword) + "\r\n";
  }
  // Name-based virtual hosts and content networks need the Host line.
  request.headerBlock = "Host: " + HostAndPort(target) + "\r\n" + kFixedHeaders;
  return Fits(request.requestLine) && Fits(request.authorization) && Fits(request.headerBlock);
}

}  // namespace kq
