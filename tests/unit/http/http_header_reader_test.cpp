// Reading a response header off a connection: where it ends, that no body
// byte is taken, and every way it can fail.
#include <gtest/gtest.h>

#include <vector>

#include "http/http_response.h"
#include "http/kqhttp_result.h"
#include "http/scripted_receiver.h"

namespace kq {
namespace {

struct Read {
  int result;
  std::string header;
  std::string rest;
};

Read ReadFrom(ScriptedReceiver& receiver) {
  std::vector<char> buffer(kHeaderBufferSize, 'x');
  int length = -1;
  const int result = ReadResponseHeader(receiver, buffer.data(), length);
  if (result == KQHTTP_SUCCESS) {
    EXPECT_EQ(buffer[static_cast<size_t>(length)], '\0');
  } else {
    EXPECT_EQ(length, 0);
  }
  return {result, std::string(buffer.data(), static_cast<size_t>(length)), receiver.Rest()};
}

TEST(HeaderReader, EndsAtTheEmptyLineAndLeavesTheBody) {
  // Header lengths of both parities, so the end falls inside a two-byte
  // receive and across two of them; a stack that hands over one byte at a
  // time gives the same.
  for (const char* header : {"HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n", "HTTP/1.0 200 OK\r\nA: bc\r\n\r\n",
                             "HTTP/1.0 200 OK\r\n\r\n", "H 200\r\n\r\n"}) {
    for (int chunk : {1, 2}) {
      ScriptedReceiver receiver(std::string(header) + "BODY\r\n\r\n", chunk);
      const Read read = ReadFrom(receiver);
      EXPECT_EQ(read.result, KQHTTP_SUCCESS) << header;
      EXPECT_EQ(read.header, header);
      EXPECT_EQ(read.rest, "BODY\r\n\r\n") << header;
      for (int asked : receiver.asked) EXPECT_LE(asked, 2);
    }
  }
}

TEST(HeaderReader, LineFeedsWithoutTheEmptyLineDoNotEndIt) {
  // A bare line feed pair is no end; the read goes on until the connection
  // closes, which fails the header.
  ScriptedReceiver receiver("HTTP/1.0 200 OK\n\nBODY");
  EXPECT_EQ(ReadFrom(receiver).result, KQHTTP_SockReadFailed);
}

TEST(HeaderReader, Failures) {
  ScriptedReceiver closed("HTTP/1.0 200 OK\r\nContent-Len");
  EXPECT_EQ(ReadFrom(closed).result, KQHTTP_SockReadFailed);
  ScriptedReceiver closedAfterLineFeed("HTTP/1.0 200 OK\r\n");
  EXPECT_EQ(ReadFrom(closedAfterLineFeed).result, KQHTTP_SockReadFailed);
  ScriptedReceiver timedOut("HTTP/1.0 200", 1 << 30, Socket_Timeout);
  EXPECT_EQ(ReadFrom(timedOut).result, KQHTTP_ServerTimeOut);
  ScriptedReceiver broken("HTTP/1.0 200 OK\r", 1 << 30, Socket_Error);
  EXPECT_EQ(ReadFrom(broken).result, KQHTTP_Error);
}

TEST(HeaderReader, AHeaderLargerThanTheBufferFailsWithoutOverrun) {
  const std::string line = "X: " + std::string(100, 'a') + "\r\n";
  std::string header = "HTTP/1.0 200 OK\r\n";
  while (header.size() < kHeaderBufferSize + 200) header += line;
  ScriptedReceiver receiver(header + "\r\n");
  const Read read = ReadFrom(receiver);
  EXPECT_EQ(read.result, KQHTTP_ParseHeaderFailed);
  EXPECT_LE(header.size() - read.rest.size(), kHeaderBufferSize - 1);

  // The largest header that fits: the buffer less its terminating zero.
  std::string exact = "HTTP/1.0 200 OK\r\nX: ";
  exact += std::string(kHeaderBufferSize - 1 - exact.size() - 4, 'a') + "\r\n\r\n";
  ASSERT_EQ(exact.size(), kHeaderBufferSize - 1);
  ScriptedReceiver fits(exact + "B");
  const Read fitted = ReadFrom(fits);
  EXPECT_EQ(fitted.result, KQHTTP_SUCCESS);
  EXPECT_EQ(fitted.rest, "B");
}

}  // namespace
}  // namespace kq
