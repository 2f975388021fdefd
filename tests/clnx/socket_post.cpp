// The multi-waits: read readiness, a pending non-blocking connect becoming writable,
// out-of-band data as an exception, the time-out code and skipped negative descriptors.
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include "clnx_test.h"

namespace {

using clnxtest::kWouldBlock;
using clnxtest::kInvalid;
using clnxtest::Address;
using clnxtest::Post;
using clnxtest::Send;

TEST(SocketPost, ReadReadyAndTimeOut) {
  clnxtest::Pair pair;
  Post post;
  SocketRecord closed{};
  InitSocket(&closed);  // descriptor -1: skipped
  post.Inputs({&closed, pair.client.get(), pair.server.get()});
  const PostTimeout wait{50, 0};
  int error = -1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PostSocket(&post.data, &wait, &error), 0);
  EXPECT_EQ(error, VRQ_SOCK_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));

  Send(pair.client.get(), 'a');
  const PostTimeout long_wait{0, 5};
  ASSERT_EQ(PostSocket(&post.data, &long_wait, &error), 1);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(post.data.ppReady[0], pair.server.get());
  EXPECT_EQ(post.data.ppReady[1], nullptr);
  EXPECT_EQ(post.data.ppException[0], nullptr);
}

TEST(SocketPost, OutOfBandDataIsAnException) {
  clnxtest::Pair pair;
  Post post;
  post.Inputs({pair.server.get()});
  Send(pair.client.get(), '!', MSG_OOB);
  const PostTimeout wait{0, 5};
  int error = -1;
  ASSERT_EQ(PostSocket(&post.data, &wait, &error), 1);
  EXPECT_EQ(post.data.ppReady[0], nullptr);
  EXPECT_EQ(post.data.ppException[0], pair.server.get());
  EXPECT_EQ(post.data.ppException[1], nullptr);
}

TEST(SocketPost, PendingConnectBecomesWritable) {
  clnxtest::Listener listener;
  clnxtest::Socket client;
  ASSERT_EQ(CreateSocket(client.get()), 1);
  ASSERT_EQ(NoblockSocket(client.get()), 1);
  SocketAddress target = Address("127.0.0.1", listener.port());
  ASSERT_EQ(ConnectSocket(client.get(), &target), 0);
  ASSERT_EQ(client->lLastError, kWouldBlock);
  EXPECT_EQ(client->lConnected, 0);

  Post post;
  post.Inputs({client.get()});
  post.data.ppWrite[0] = nullptr;
  const PostTimeout wait{0, 5};
  int error = -1;
  ASSERT_EQ(NPostSocket(&post.data, &wait, &error), 1);
  EXPECT_EQ(post.data.ppWrite[0], client.get());
  EXPECT_EQ(post.data.ppWrite[1], nullptr);
  EXPECT_EQ(client->lConnected, 1);

  // A connected socket on the write list stays there while it can take data; the read
  // side still reports what arrived.
  clnxtest::Socket server;
  ASSERT_EQ(AcceptClient(listener.get(), server.get()), 1);
  Send(server.get(), 'r');
  post.Inputs({client.get()});
  post.data.ppWrite[0] = server.get();
  post.data.ppWrite[1] = nullptr;
  ASSERT_EQ(NPostSocket(&post.data, &wait, &error), 1);
  EXPECT_EQ(post.data.ppWrite[0], server.get());
  EXPECT_EQ(post.data.ppWrite[1], nullptr);
  EXPECT_EQ(post.data.ppReady[0], client.get());
}

TEST(SocketPost, WorkAreaLifeCycle) {
  SocketPostData post{};
  ASSERT_EQ(InitSocketPostData(&post, 2513), 1);
  EXPECT_EQ(post.ulCount, 2513u);
  EXPECT_EQ(post.ppInput[2512], nullptr);
  ASSERT_EQ(FreeSocketPostData(&post), 1);
  EXPECT_EQ(post.ulCount, 0u);
  EXPECT_EQ(post.ppInput, nullptr);
  EXPECT_EQ(post.pExceptSet, nullptr);
  int error = 0;
  EXPECT_EQ(PostSocket(&post, nullptr, &error), 0);
  EXPECT_EQ(error, kInvalid);
}

}  // namespace
