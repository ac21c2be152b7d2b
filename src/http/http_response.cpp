#include "http/http_response.h"

#include <climits>
#include <cstring>

#include "diag/debug_mgr.h"
#include "http/kqhttp_result.h"
#include "http/socket_result.h"
#include "text/ascii_text.h"

namespace kq {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Position of the value of the first header line named `name` (lower case,
// with its colon), blanks after the colon skipped; npos when no line starts
// with the name. Only whole line starts count, so "Content-Location:" is not
// "Location:".
size_t FindHeaderValue(const std::string& header, const char* name) {
  const std::string lower = LowerCaseAscii(header);
  const size_t nameLength = std::strlen(name);
  size_t at = lower.find(name);
  while (at != std::string::npos && (at == 0 || lower[at - 1] != '\n')) at = lower.find(name, at + 1);
  if (at == std::string::npos) return std::string::npos;
  size_t value = at + nameLength;
  while (value < header.size() && IsBlank(header[value])) ++value;
  return value;
}

class HeaderReader {
 public:
  HeaderReader(ByteReceiver& receiver, char* buffer) : receiver_(receiver), buffer_(buffer) {}

  // Receives up to `want` bytes at the write position; 0 or a result code.
  int Receive(int want, int& got) {
    got = 0;
    // One byte stays free for the terminating zero.
    if (position_ + static_cast<size_t>(want) > kHeaderBufferSize - 1) {
      DebugMgr::DebugOutput(20, "KQHTTP::ReadHttpHeader: header larger than %d bytes.\n",
                            static_cast<int>(kHeaderBufferSize - 1));
      return KQHTTP_ParseHeaderFailed;
    }
    const int result = receiver_.Receive(buffer_ + position_, want, &got);
    if (result != Socket_Success) {
      DebugMgr::DebugOutput(20, "KQHTTP::ReadHttpHeader: socket error %ld. \"%s\"\n", static_cast<long>(result),
                            BlockSockErrName(result).c_str());
      return MapBlockSockErrToKQHTTPErr(result);
    }
    if (got == 0) return KQHTTP_SockReadFailed;
    if (got < 0 || got > want) {
      got = 0;
      return KQHTTP_Error;
    }
    return KQHTTP_SUCCESS;
  }

  const char* At() const { return buffer_ + position_; }
  void Advance(int count) { position_ += static_cast<size_t>(count); }
  size_t Position() const { return position_; }

 private:
  ByteReceiver& receiver_;
  char* buffer_;
  size_t position_ = 0;
};

}  // namespace

int ReadResponseHeader(ByteReceiver& receiver, char* buffer, int& headerLength) {
  std::memset(buffer, 0, kHeaderBufferSize);
  headerLength = 0;
  HeaderReader reader(receiver, buffer);
  int got = 0;
  for (;;) {
    int result = reader.Receive(2, got);
    if (result != KQHTTP_SUCCESS) return result;
    const char* just = reader.At();
    if (std::memchr(just, '\n', static_cast<size_t>(got)) == nullptr) {
      reader.Advance(got);
      continue;
    }
    if (got == 2 && just[0] == '\n' && just[1] == '\r') {
      // The empty line has begun: its line feed ends the header.
      reader.Advance(got);
      result = reader.Receive(1, got);
      if (result != KQHTTP_SUCCESS) return result;
      reader.Advance(got);
      break;
    }
    if (just[got - 1] == '\n') {
      reader.Advance(got);
      result = reader.Receive(1, got);
      if (result != KQHTTP_SUCCESS) return result;
      const bool carriageReturn = *reader.At() == '\r';
      reader.Advance(got);
      if (!carriageReturn) continue;
      result = reader.Receive(1, got);
      if (result != KQHTTP_SUCCESS) return result;
      reader.Advance(got);
      break;
    }
    reader.Advance(got);
  }
  headerLength = static_cast<int>(reader.Position());
  return KQHTTP_SUCCESS;
}

int ReadLeadingInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (IsBlank(text[i]) || text[i] == '\r' || text[i] == '\n' || text[i] == '\v' ||
                             text[i] == '\f'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

std::string FindLocation(const std::string& header) {
  const size_t start = FindHeaderValue(header, "location:");
  if (start == std::string::npos) return std::string();
  size_t end = start;
  while (end < header.size() && header[end] != '\r' && header[end] != '\n' && !IsBlank(header[end])) ++end;
  return header.substr(start, end - start);
}

int ClassifyResponse(const std::string& header, const std::string& url, std::string& location, int& status) {
  location.clear();
  const size_t blank = header.find(' ');
  if (blank == std::string::npos) {
    status = 500;
    DebugMgr::DebugError("KHTTP ResponseAllRight : server error %d for url \"%s\"\n", status, url.c_str());
    return KQHTTP_ServerError;
  }
  const size_t next = header.find(' ', blank + 1);
  status = ReadLeadingInteger(header.substr(blank + 1, next == std::string::npos ? std::string::npos : next - blank - 1));
  if (status >= 100 && status <= 200) return KQHTTP_SUCCESS;
  if (status == 404) {
    DebugMgr::DebugError("KHTTP ResponseAllRight : server 404 error for url \"%s\"\n", url.c_str());
    return KQHTTP_ServerUrlNotFound;
  }
  if (status < 300 || status > 399) {
    DebugMgr::DebugError("KHTTP ResponseAllRight : server error %d for url \"%s\"\n", status, url.c_str());
    return KQHTTP_ServerError;
  }
  location = FindLocation(header);
  if (location.empty()) {
    DebugMgr::DebugError("KHTTP ResponseAllRight : unable to parse redirect response for url\"%s\", code is %d, "
                         "header is \"%s\".\n",
                         url.c_str(), status, header.c_str());
    return KQHTTP_ServerUrlNotFound;
  }
  return KQHTTP_Redirect;
}

ContentLength FindContentLength(const std::string& header, int32_t& size) {
  size = -1;
  const size_t start = FindHeaderValue(header, "content-length:");
  if (start == std::string::npos) return ContentLength::kMissing;
  const size_t lineEnd = header.find_first_of("\r\n", start);
  if (lineEnd == std::string::npos) return ContentLength::kNoLineEnd;
  size_t end = lineEnd;
  while (end > start && IsBlank(header[end - 1])) --end;
  if (end == start) return ContentLength::kNotANumber;
  long long value = 0;
  for (size_t i = start; i < end; ++i) {
    if (header[i] < '0' || header[i] > '9') return ContentLength::kNotANumber;
    value = value * 10 + (header[i] - '0');
    if (value > INT32_MAX) return ContentLength::kNotANumber;
  }
  size = static_cast<int32_t>(value);
  return ContentLength::kFound;
}

}  // namespace kq
