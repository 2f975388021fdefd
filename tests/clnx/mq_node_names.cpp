// MQNode identity and life cycle: the application name (found without a shell, whatever
// VXWMQ_HOME holds), the user id and platform of a new node, trace points, and the
// helpers for null nodes and the last error.
#include <cmqc.h>
#include <cmqcfc.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#endif

#include <algorithm>
#include <cctype>

#include "mq_node_test.h"
#include "vrqsign.h"
#include "vrqtest.h"

namespace {

using namespace nodetest;

std::string ExpectedApplName() {
#ifdef _WIN32  // the executable's file name without its extension
  char path[MAX_PATH] = {};
  std::string name(path, GetModuleFileNameA(nullptr, path, sizeof path));
  name = name.substr(name.find_last_of("\\/") + 1);
  name = name.substr(0, name.rfind('.'));
#else
  std::string name = vrqtest::ReadFile("/proc/self/comm");
#endif
  name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == ' '; }), name.end());
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return name.substr(0, 48);
}

TEST(MqNodeNames, ApplNameIsUpperCasedCommandNameWithoutShell) {
  vrqtest::TempDir dir;
  const std::string marker = dir.file("ran");
  ASSERT_EQ(setenv("VXWMQ_HOME", (dir.path() + "; touch " + marker + " #").c_str(), 1), 0);
  char name[64];
  int length = sizeof name;
  ASSERT_EQ(GetApplName(name, &length), 1);
  EXPECT_EQ(std::string(name), ExpectedApplName());
  EXPECT_EQ(length, static_cast<int>(ExpectedApplName().size()));
  struct stat info {};
  EXPECT_NE(stat(marker.c_str(), &info), 0) << "nothing ran through a shell";
  unsetenv("VXWMQ_HOME");
  length = sizeof name;
  ASSERT_EQ(GetApplName(name, &length), 1);
  EXPECT_EQ(std::string(name), ExpectedApplName()) << "the name does not depend on the variable";

  char small[4];
  length = sizeof small;
  ASSERT_EQ(GetApplName(small, &length), 1);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string(small, 4), ExpectedApplName().substr(0, 4));
  EXPECT_EQ(GetApplName(nullptr, &length), 0);
  EXPECT_EQ(SetApplName("ANY"), 1);
}

std::vector<std::string> g_points;
void Record(const char* point, MQNode*) { g_points.emplace_back(point); }

TEST(MqNodeNames, NewNodeIdentityAndTracePoints) {
  g_points.clear();
  ASSERT_EQ(mnGSetTraceCallBack(Record), 1);
  {
    NodePair pair;
    EXPECT_EQ(pair.client->ulKind, 2u);
#ifdef _WIN32
    EXPECT_STREQ(pair.client->szPlatform, "WIN32");
#else
    EXPECT_STREQ(pair.client->szPlatform, "UNIX");
#endif
    EXPECT_STREQ(pair.client->szName, "127.0.0.1");
    EXPECT_EQ(pair.client->lPendingLimit, -1);
    EXPECT_EQ(pair.client->ulQLimit, 100u);
    EXPECT_EQ(pair.client->InBuf.lLength, 136);
    EXPECT_EQ(pair.client->InBuf.lSize, MQNODE_INPUT_SIZE);
    EXPECT_EQ(std::string(pair.client->szApplName, strnlen(pair.client->szApplName, 48)), ExpectedApplName());
    EXPECT_GT(strlen(pair.client->szUserId), 0u);
    EXPECT_EQ(pair.client->pfnRead, &mnRead);
    Pcf msg(MQCMD_PING_Q_MGR);
    ASSERT_EQ(pair.client->pfnWrite(msg.m, pair.client.get()), 1);
    ASSERT_EQ(pair.peer->pfnRead(msg.m, pair.peer.get()), 1);
    uint32_t* signature = nullptr;
    ASSERT_EQ(sgx_get_signature(&signature), 1);
    ASSERT_EQ(mnSWrite(msg.m, pair.client.get(), 1, signature), 1);
    ASSERT_EQ(mnSRead(msg.m, pair.peer.get(), 1), 1);
    sgx_release_signature(&signature);
  }
  ASSERT_EQ(mnGSetTraceCallBack(nullptr), 1);
  for (const char* point : {"CreateMQNode", "mnOpen", "mnWriteMsg", "mnWriteToNode", "mnReadMsg", "mnRead",
                            "mnSWriteMsg", "mnSReadMsg", "mnSRead", "DeleteMQNode", "mnClose", "mnClearPeningIO"}) {
    EXPECT_NE(std::find(g_points.begin(), g_points.end(), point), g_points.end()) << point;
  }
  // The receive loop runs under its own point before the read that uses it reports.
  const auto loop = std::find(g_points.begin(), g_points.end(), "mnReadMsg");
  EXPECT_LT(loop - g_points.begin(), std::find(g_points.begin(), g_points.end(), "mnRead") - g_points.begin());
}

TEST(MqNodeNames, NullNodesAndErrors) {
  EXPECT_EQ(DeleteMQNode(nullptr), 0);
  EXPECT_EQ(IsNodeFailed(nullptr), 1);
  EXPECT_EQ(IsNodeQReady(nullptr), 1);
  EXPECT_EQ(CreateMQNode(nullptr, 0), nullptr);
  EXPECT_EQ(mnRead(nullptr, nullptr), 0);
  EXPECT_EQ(mnFinishWrite(nullptr), 0);

  SocketAddress nowhere = Address("127.0.0.1", "1");
  NodePtr client(CreateMQNode(&nowhere, MQNODE_MODE_CLIENT));
  EXPECT_EQ(mnOpen(client.get()), 0);
  EXPECT_EQ(client->ulOpen, 0u);
  EXPECT_NE(client->lLastError, 0);
  EXPECT_EQ(IsNodeFailed(client.get()), 1);
  client->lLastError = MQNODE_LIMIT_REACHED;
  EXPECT_EQ(IsNodeFailed(client.get()), 0);
  SetMQNodeError(client.get());
  EXPECT_EQ(client->lLastError, client->Socket.lLastError);
  EXPECT_EQ(mnFinishWrite(client.get()), 1) << "nothing queued";
  EXPECT_EQ(mnClose(client.get()), 1);
  Pcf msg(MQCMD_PING_Q_MGR);
  EXPECT_EQ(mnRead(msg.m, client.get()), 0) << "a closed node reads nothing";
}

}  // namespace
