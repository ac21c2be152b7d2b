#pragma once
// A ByteReceiver over a byte string: each Receive takes at most the asked
// number of bytes (and at most `chunk`, like a stack delivering pieces),
// then reports the close of the connection, or `failure` when it is set.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "http/http_response.h"
#include "http/socket_result.h"

namespace kq {

class ScriptedReceiver : public ByteReceiver {
 public:
  explicit ScriptedReceiver(std::string bytes, int chunk = 1 << 30, int failure = Socket_Success)
      : bytes_(std::move(bytes)), chunk_(chunk), failure_(failure) {}

  int Receive(char* buffer, int size, int* received) override {
    asked.push_back(size);
    if (offset_ == bytes_.size() && failure_ != Socket_Success) {
      *received = -1;
      return failure_;
    }
    const size_t n = std::min({bytes_.size() - offset_, static_cast<size_t>(size), static_cast<size_t>(chunk_)});
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    *received = static_cast<int>(n);
    return Socket_Success;
  }

  std::string Rest() const { return bytes_.substr(offset_); }
  std::vector<int> asked;

 private:
  std::string bytes_;
  size_t offset_ = 0;
  int chunk_;
  int failure_;
};

}  // namespace kq
