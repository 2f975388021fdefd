// The multi-waits refuse a descriptor beyond the descriptor sets (Linux: a bitmap indexed
// by the descriptor) before anything is written into a set.
#include <sys/resource.h>
#include <unistd.h>

#include "clnx_test.h"

namespace {

using clnxtest::Post;
using clnxtest::Send;

TEST(SocketLimits, DescriptorBeyondTheSetsIsRefused) {
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

}  // namespace
