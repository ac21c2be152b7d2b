#include "http/http_url.h"

#include "diag/debug_mgr.h"

namespace kq {

namespace {

constexpr char kScheme[] = "http://";
constexpr size_t kSchemeLength = sizeof kScheme - 1;

// A decimal port of 1 to 65535 and nothing else; -1 otherwise.
int ReadPort(const std::string& text) {
  if (text.empty() || text.size() > 5) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535 ? value : -1;
}

}  // namespace

UrlParse ParseHttpUrl(const std::string& url, HttpAddress& address) {
  // The scheme must open the address: "xhttp://..." is no http address.
  if (url.compare(0, kSchemeLength, kScheme) != 0) {
    DebugMgr::DebugError("KQHTTP ParseURL: cannot find http:// for URL \"%s\"\n", url.c_str());
    return UrlParse::NoScheme;
  }
  const std::string rest = url.substr(kSchemeLength);
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) {
    DebugMgr::DebugError("KQHTTP ParseURL: no slash found in url path for URL \"%s\"\n", url.c_str());
    return UrlParse::NoSlash;
  }
  std::string host = rest.substr(0, slash);
  int port = kDefaultHttpPort;
  const size_t colon = host.find(':');
  if (colon != std::string::npos) {
    port = ReadPort(host.substr(colon + 1));
    host.erase(colon);
    if (port < 0) {
      DebugMgr::DebugError("KQHTTP ParseURL: bad port for URL \"%s\"\n", url.c_str());
      return UrlParse::BadPort;
    }
    DebugMgr::DebugOutput(20, "KQHTTP ParseURL: host is \"%s\", port is %d\n", host.c_str(), port);
  }
  if (host.empty()) {
    DebugMgr::DebugError("KQHTTP ParseURL: no host for URL \"%s\"\n", url.c_str());
    return UrlParse::NoHost;
  }
  address.host = host;
  address.port = port;
  address.path = rest.substr(slash);
  return UrlParse::Ok;
}

std::string HostAndPort(const HttpAddress& address) {
  if (address.port == kDefaultHttpPort) return address.host;
  return address.host + ":" + std::to_string(address.port);
}

std::string RedirectTarget(const HttpAddress& current, const std::string& location) {
  if (location.compare(0, kSchemeLength, kScheme) == 0) return location;
  std::string target = kScheme + HostAndPort(current);
  if (location.empty() || location[0] != '/') target += '/';
  return target + location;
}

}  // namespace kq
