// libFuzzer target over the client's handling of what a server sends: the
// response header read off a connection (through the ByteReceiver seam that
// stands in for the socket, in pieces of a size the input chooses), the
// status classification, the redirect target, the Content-Length, and the
// address parser on the URL and on every redirect target.
//
// Input: byte 0 picks the piece size, then a URL up to the first line feed,
// then the server's bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "http/http_response.h"
#include "http/http_url.h"
#include "http/kqhttp_result.h"
#include "http/socket_result.h"

namespace {

class MemoryReceiver : public kq::ByteReceiver {
 public:
  MemoryReceiver(const uint8_t* data, size_t size, int piece) : data_(data), size_(size), piece_(piece) {}
  int Receive(char* buffer, int size, int* received) override {
    if (size <= 0 || size > 2) std::abort();  // the header is read in ones and twos
    size_t n = size_ - offset_;
    if (n > static_cast<size_t>(size)) n = static_cast<size_t>(size);
    if (n > static_cast<size_t>(piece_)) n = static_cast<size_t>(piece_);
    std::memcpy(buffer, data_ + offset_, n);
    offset_ += n;
    *received = static_cast<int>(n);
    return kq::Socket_Success;
  }
  size_t Consumed() const { return offset_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  int piece_;
};

void CheckAddressRoundTrip(const std::string& url) {
  kq::HttpAddress address;
  if (kq::ParseHttpUrl(url, address) != kq::UrlParse::kOk) return;
  if (address.host.empty() || address.path.empty() || address.path[0] != '/') std::abort();
  if (address.port < 1 || address.port > 65535) std::abort();
  kq::HttpAddress again;
  if (kq::ParseHttpUrl("http://" + kq::HostAndPort(address) + address.path, again) != kq::UrlParse::kOk) std::abort();
  if (again.host != address.host || again.port != address.port || again.path != address.path) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int piece = 1 + data[0] % 2;
  const uint8_t* rest = data + 1;
  size_t restSize = size - 1;
  const void* newline = std::memchr(rest, '\n', restSize);
  const size_t urlLength = newline ? static_cast<const uint8_t*>(newline) - rest : restSize;
  const std::string url(reinterpret_cast<const char*>(rest), urlLength);
  CheckAddressRoundTrip(url);
  if (newline == nullptr) return 0;
  rest += urlLength + 1;
  restSize -= urlLength + 1;

  MemoryReceiver receiver(rest, restSize, piece);
  std::vector<char> buffer(kq::kHeaderBufferSize);
  int length = -1;
  const int result = kq::ReadResponseHeader(receiver, buffer.data(), length);
  if (result != kq::KQHTTP_SUCCESS) {
    if (length != 0) std::abort();
    return 0;
  }
  // The header ends one byte after a line feed and carriage return (the
  // empty line's line feed), fits with its zero, and not one byte more was
  // taken from the connection.
  if (length < 3 || static_cast<size_t>(length) > kq::kHeaderBufferSize - 1) std::abort();
  if (receiver.Consumed() != static_cast<size_t>(length)) std::abort();
  if (std::memcmp(buffer.data() + length - 3, "\n\r", 2) != 0) std::abort();
  if (buffer[static_cast<size_t>(length)] != '\0') std::abort();

  const std::string header(buffer.data(), static_cast<size_t>(length));
  std::string location;
  int status = 0;
  const int verdict = kq::ClassifyResponse(header, url, location, status);
  if (verdict == kq::KQHTTP_SUCCESS && (status < 100 || status > 200)) std::abort();
  if (verdict == kq::KQHTTP_Redirect) {
    if (location.empty() || status < 300 || status > 399) std::abort();
    if (location.find_first_of(" \t\r\n") != std::string::npos) std::abort();
    kq::HttpAddress current;
    if (kq::ParseHttpUrl(url, current) == kq::UrlParse::kOk) CheckAddressRoundTrip(kq::RedirectTarget(current, location));
  }
  int32_t contentLength = 0;
  if (kq::FindContentLength(header, contentLength) == kq::ContentLength::kFound) {
    if (contentLength < 0) std::abort();
  } else if (contentLength != -1) {
    std::abort();
  }
  return 0;
}
