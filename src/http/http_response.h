#pragma once
// Reading and judging an HTTP/1.0 response header: the header is read in
// two-byte receives (single bytes around a line feed) so that not one byte
// of the body is taken from the connection; then the status is classified,
// a redirect's Location and the Content-Length are read. Portable: the
// connection is reached through ByteReceiver, which the client implements
// with its socket and tests and the fuzz target with memory.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kq {

constexpr size_t kHeaderBufferSize = 4096;

class ByteReceiver {
 public:
  // One receive of at most `size` bytes; `received` gets the count (0 when
  // the peer closed the connection). Returns a socket result code.
  virtual int Receive(char* buffer, int size, int* received) = 0;

 protected:
  ~ByteReceiver() = default;
};

// Reads one response header into `buffer` (kHeaderBufferSize bytes), up to
// and including the line feed of the empty line that ends it. Returns a
// KQHTTP result: 0 with `headerLength` set; 1 when the connection closed
// first; 2 when the header does not fit the buffer; a mapped socket result.
// Never writes past the buffer; the byte after the header stays 0.
int ReadResponseHeader(ByteReceiver& receiver, char* buffer, int& headerLength);

// ResponseAllRight without the redirect itself: 0 (status 100 to 200), 3
// (server error, including no status), 4 (404, or a redirect without a
// usable Location) or 13 (3xx with `location` set to its value). `status`
// receives the status code (500 when there is none). Writes the traces,
// naming `url`.
int ClassifyResponse(const std::string& header, const std::string& url, std::string& location, int& status);

// The value of the first "Location:" header line (any letter case, blanks
// after the colon skipped); empty when there is none or it is empty.
std::string FindLocation(const std::string& header);

enum class ContentLength { kFound, kMissing, kNoLineEnd, kNotANumber };

// The value of the first "Content-Length:" header line: a plain decimal
// number of 0 to 2^31-1, blanks around it allowed. Anything else is not
// taken as a size.
ContentLength FindContentLength(const std::string& header, int32_t& size);

// The C library's atoi without its undefined overflow: leading white space,
// an optional sign, digits; saturates at the int range.
int ReadLeadingInteger(const std::string& text);

}  // namespace kq
