// CBlockingSocket under Wine against a listening socket of the test's own on
// 127.0.0.1: the life cycle, the readiness waits and the error mapping.
#include <winsock.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/blocking_socket.h"
#include "http/scoped_socket.h"
#include "http/trace_capture.h"

namespace kq {
namespace {

// Reads the peer socket until it closes; the thread's exit code is the count.
DWORD WINAPI DrainPeer(void* peer) {
  char buffer[65536];
  DWORD total = 0;
  int n;
  while ((n = recv(static_cast<ScopedSocket*>(peer)->Get(), buffer, sizeof buffer, 0)) > 0) total += static_cast<DWORD>(n);
  return total;
}

class BlockingSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    listener_.Reset(socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_TRUE(listener_.IsValid());
    sockaddr_in any = Loopback(0);
    ASSERT_EQ(bind(listener_.Get(), reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(listener_.Get(), 4), 0);
    int length = sizeof address_;
    ASSERT_EQ(getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address_), &length), 0);
  }
  void TearDown() override {
    peer_.Close();
    listener_.Close();
    WSACleanup();
  }

  static sockaddr_in Loopback(int port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
  }

  // Connects `client` and accepts the server side into peer_.
  void Connect(CBlockingSocket& client) {
    ASSERT_EQ(client.Create(SOCK_STREAM), Socket_Success);
    ASSERT_EQ(client.Connect(&address_), Socket_Success);
    peer_.Reset(accept(listener_.Get(), nullptr, nullptr));
    ASSERT_TRUE(peer_.IsValid());
  }

  ScopedSocket listener_;
  ScopedSocket peer_;
  sockaddr_in address_ = {};
};

TEST_F(BlockingSocketTest, LifeCycleAndUseWithoutASocket) {
  TraceCapture trace;
  CBlockingSocket s;
  char byte = 0;
  int count = 7;
  EXPECT_EQ(s.Receive(&byte, 1, 1, &count), Socket_Error);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(s.Send("x", 1, 1, &count), Socket_Error);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(s.Connect(&address_), Socket_Error);
  ASSERT_EQ(s.Create(SOCK_STREAM), Socket_Success);
  EXPECT_EQ(s.Create(SOCK_STREAM), Socket_Error);  // keeps the socket it has
  EXPECT_TRUE(s.HasSocket());
  EXPECT_EQ(s.Close(), Socket_Success);
  EXPECT_EQ(s.Close(), Socket_Error);
  const std::string text = trace.Text();
  for (const char* line : {"CBlockingSocket::Receive: socket is null error.\n", "CBlockingSocket::Send: socket is null error.\n",
                           "CBlockingSocket::Connect: socket is null error.\n",
                           "CBlockingSocket::Create: socket is not null error \n",
                           "CBlockingSocket::Close: socket is null error \n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(BlockingSocketTest, WriteSendsEverythingAndReceiveSeesTheClose) {
  CBlockingSocket client;
  Connect(client);
  // More than the stack takes at once: the server reads while we write.
  std::vector<char> data(4 << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
  HANDLE reader = CreateThread(nullptr, 0, &DrainPeer, &peer_, 0, nullptr);
  int sent = -5;
  EXPECT_EQ(client.Write(data.data(), static_cast<int>(data.size()), 5, &sent), Socket_Success);
  EXPECT_EQ(sent, static_cast<int>(data.size()));
  EXPECT_EQ(client.Close(), Socket_Success);
  WaitForSingleObject(reader, 10000);
  DWORD received = 0;
  GetExitCodeThread(reader, &received);
  CloseHandle(reader);
  EXPECT_EQ(received, data.size());

  CBlockingSocket second;
  peer_.Close();
  Connect(second);
  send(peer_.Get(), "ab", 2, 0);
  peer_.Close();
  char buffer[8] = {};
  int count = -5;
  EXPECT_EQ(second.Receive(buffer, sizeof buffer, 5, &count), Socket_Success);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(count)), "ab");
  EXPECT_EQ(second.Receive(buffer, sizeof buffer, 5, &count), Socket_Success);
  EXPECT_EQ(count, 0);
  sockaddr_in local = {};
  EXPECT_EQ(second.GetSockAddr(&local), Socket_Success);
  EXPECT_EQ(local.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  second.Close();
}

TEST_F(BlockingSocketTest, ASilentPeerTimesOutInsteadOfBlocking) {
  TraceCapture trace;
  CBlockingSocket client;
  Connect(client);
  char byte = 0;
  int count = 5;
  const DWORD began = GetTickCount();
  EXPECT_EQ(client.Receive(&byte, 1, 1, &count), Socket_Timeout);
  EXPECT_EQ(count, -1);
  EXPECT_GE(GetTickCount() - began, 900u);
  EXPECT_NE(trace.Text().find("CBlockingSocket::Receive: error 0.\n"), std::string::npos);
  client.Close();
}

TEST_F(BlockingSocketTest, RefusedConnectionAndNameLookups) {
  // A port nobody listens on: the listener's, once it is closed.
  const sockaddr_in closed = address_;
  listener_.Close();
  CBlockingSocket client;
  ASSERT_EQ(client.Create(SOCK_STREAM), Socket_Success);
  EXPECT_EQ(client.Connect(&closed), Socket_Timeout);  // 10061
  client.Close();
  listener_.Reset(socket(AF_INET, SOCK_STREAM, 0));

  sockaddr_in resolved = {};
  ASSERT_EQ(CBlockingSocket::GetHostByName("127.0.0.1", 8080, &resolved), Socket_Success);
  EXPECT_EQ(resolved.sin_family, AF_INET);
  EXPECT_EQ(resolved.sin_port, htons(8080));
  EXPECT_EQ(resolved.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
}

}  // namespace
}  // namespace kq
