#include "http/http_url.h"

#include "diag/debug_mgr.h"
#include "text/ascii_text.h"

namespace kq {

namespace {

constexpr char kScheme[] = "http://";
constexpr size_t kSchemeLength = sizeof kScheme - 1;

// A decimal port of 1 to 65535 and nothing else; -1 otherwise.
int ReadPort(const std::string& text) {
  if (text.empty() || text.size() > 5) return -1;
  int value = 0;
  for (char c : text) {
    if (!IsAsciiDigit(c)) return -1;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535 ? value : -1;
}

bool IsSchemeCharacter(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.';
}

// The length of the scheme that opens `text` before "://" (a letter, then
// letters, digits, '+', '-' or '.'), 0 when there is none.
size_t SchemeLength(const std::string& text) {
  if (text.empty() || !IsAsciiLetter(text[0])) return 0;
  size_t end = 1;
  while (end < text.size() && IsSchemeCharacter(text[end])) ++end;
  return text.compare(end, 3, "://") == 0 ? end : 0;
}

// "http" in any letter case: an address this client would fetch if it
// were written in lower case.
bool IsHttpScheme(const std::string& text, size_t length) {
  return EqualsNoCase(text.substr(0, length), "http");
}

}  // namespace

bool HasScheme(const std::string& text) { return SchemeLength(text) != 0; }

UrlParse ParseHttpUrl(const std::string& url, HttpAddress& address) {
  const size_t schemeLength = SchemeLength(url);
  if (schemeLength != 0 && !IsHttpScheme(url, schemeLength)) {
    DebugMgr::DebugError("KQHTTP ParseURL: cannot download from URL \"%s\": its scheme is not http\n",
                         url.c_str());
    return UrlParse::kOtherScheme;
  }
  // The scheme must open the address: "xhttp://..." is no http address.
  if (url.compare(0, kSchemeLength, kScheme) != 0) {
    DebugMgr::DebugError("KQHTTP ParseURL: cannot find http:// for URL \"%s\"\n", url.c_str());
    return UrlParse::kNoScheme;
  }
  const std::string rest = url.substr(kSchemeLength);
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) {
    DebugMgr::DebugError("KQHTTP ParseURL: no slash found in url path for URL \"%s\"\n", url.c_str());
    return UrlParse::kNoSlash;
  }
  std::string host = rest.substr(0, slash);
  int port = kDefaultHttpPort;
  const size_t colon = host.find(':');
  if (colon != std::string::npos) {
    port = ReadPort(host.substr(colon + 1));
    host.erase(colon);
    if (port < 0) {
      DebugMgr::DebugError("KQHTTP ParseURL: bad port for URL \"%s\"\n", url.c_str());
      return UrlParse::kBadPort;
    }
    DebugMgr::DebugOutput(20, "KQHTTP ParseURL: host is \"%s\", port is %d\n", host.c_str(), port);
  }
  if (host.empty()) {
    DebugMgr::DebugError("KQHTTP ParseURL: no host for URL \"%s\"\n", url.c_str());
    return UrlParse::kNoHost;
  }
  address.host = host;
  address.port = port;
  address.path = rest.substr(slash);
  return UrlParse::kOk;
}

std::string HostAndPort(const HttpAddress& address) {
  if (address.port == kDefaultHttpPort) return address.host;
  return address.host + ":" + std::to_string(address.port);
}

std::string RedirectTarget(const HttpAddress& current, const std::string& location) {
  if (HasScheme(location)) return location;
  if (location.compare(0, 2, "//") == 0) return "http:" + location;
  std::string target = kScheme + HostAndPort(current);
  if (location.empty() || location[0] != '/') target += '/';
  return target + location;
}

}  // namespace kq
