#pragma once
// The addresses the HTTP client accepts: "http://" host [":" port] "/" rest,
// the scheme in lower case at the very start, no user-info or fragment.
// Portable.
#include <string>

namespace kq {

constexpr int kDefaultHttpPort = 80;

struct HttpAddress {
  std::string host;  // without the port
  std::string path;  // from the first '/' after the host to the end, query included
  int port = kDefaultHttpPort;
};

// OtherScheme: an address of another scheme ("https://", "ftp://"), which
// this client cannot fetch.
enum class UrlParse { kOk, kNoScheme, kNoSlash, kNoHost, kBadPort, kOtherScheme };

// Parses `url` into `address`, which is left unchanged on failure. An address
// that names no port means port 80. Writes the client's trace lines.
UrlParse ParseHttpUrl(const std::string& url, HttpAddress& address);

// Whether `text` opens with a scheme and "://" ("https://", "ftp://"): an
// absolute address, whatever its scheme.
bool HasScheme(const std::string& text);

// "host" for port 80, else "host:port": the Host line of a request.
std::string HostAndPort(const HttpAddress& address);

// The address a redirect's Location value leads to from `current`: the value
// itself when it has a scheme (any scheme: the caller refuses all but
// http), "http:" and the value when it starts with "//" (another server,
// same scheme), else the value on the current server (host and port), with
// a '/' put in front unless it has one.
std::string RedirectTarget(const HttpAddress& current, const std::string& location);

}  // namespace kq
