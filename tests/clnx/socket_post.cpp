// The multi-waits: read readiness, a pending non-blocking connect becoming writable,
// out-of-band data as an exception, the time-out code, skipped negative descriptors,
// and descriptors too large for the descriptor sets.
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "clnx_test.h"

namespace {

using clnxtest::Address;
using clnxtest::View;

struct Post {
  SocketPostData data{};
  Post() { EXPECT_EQ(InitSocketPostData(&data, 8), 1); }
  ~Post() { FreeSocketPostData(&data); }
  void Inputs(std::initializer_list<SocketRecord*> recs) {
    size_t i = 0;
    for (SocketRecord* rec : recs) data.ppInput[i++] = rec;
    data.ppInput[i] = nullptr;
  }
};

void Send(SocketRecord* rec, char c, int flags = 0) {
  std::vector<char> out{c};
  Buffer w = View(out);
  w.lCounter1 = flags;
  ASSERT_EQ(WriteSocket(rec, &w, nullptr), 1);
}

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
  ASSERT_EQ(client->lLastError, EWOULDBLOCK);
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

TEST(SocketPost, DescriptorBeyondTheSetsIsRefused) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlim_t wanted = VRQ_SOCK_SET_SIZE + 64;
  if (limit.rlim_cur < wanted) {
    if (limit.rlim_max < wanted) GTEST_SKIP() << "open-file limit below " << wanted;
    limit.rlim_cur = wanted;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
  }
  clnxtest::Pair pair;
  const int high = dup2(pair.server->iSocket, VRQ_SOCK_SET_SIZE + 10);
  ASSERT_EQ(high, VRQ_SOCK_SET_SIZE + 10);
  SocketRecord big{};
  CreateSocketFromExisting(&big, high);
  big.lConnected = 1;
  Send(pair.client.get(), 'x');

  Post post;
  post.Inputs({pair.server.get(), &big});
  const PostTimeout wait{0, 1};
  int error = -1;
  EXPECT_EQ(PostSocket(&post.data, &wait, &error), 0);
  EXPECT_EQ(error, VRQ_SOCK_FD_RANGE);
  post.Inputs({pair.server.get()});
  post.data.ppWrite[0] = &big;
  post.data.ppWrite[1] = nullptr;
  EXPECT_EQ(NPostSocket(&post.data, &wait, &error), 0);
  EXPECT_EQ(error, VRQ_SOCK_FD_RANGE);
  DeleteSocket(&big);
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
  EXPECT_EQ(error, EINVAL);
}

}  // namespace
