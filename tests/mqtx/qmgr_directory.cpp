// The directory of a queue manager when there is no mqs.ini (nor, on Windows, a registry
// key for it): built from the name under the default prefix's qmgrs folder, so only a
// queue manager name MQ accepts may become one.
#include <cmqc.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mqtx_test.h"

namespace {

#if defined(_WIN32)
const std::string kQmgrs = "c:\\mqm\\qmgrs\\";
constexpr char kSep = '\\';
#else
const std::string kQmgrs = "/var/mqm/qmgrs/";
constexpr char kSep = '/';
#endif

// VXWMQ_MQS_HOME names an empty directory while alive: no mqs.ini anywhere.
struct NoMqsIni {
  vrqtest::TempDir root;
  NoMqsIni() { setenv("VXWMQ_MQS_HOME", root.path().c_str(), 1); }
  ~NoMqsIni() { unsetenv("VXWMQ_MQS_HOME"); }
};

std::string ErrorLogPath(const std::string& name) {
  char out[VRQ_PL_PATH_SIZE] = {};
  return GetErrorLogPath(VRQ_ERRLOG_QMGR, name.c_str(), out) == 1 ? out : "<refused>";
}

TEST(QmgrDirectory, ValidNamesAreTransformedAsMqDoes) {
  NoMqsIni none;
  const std::string errors = std::string(1, kSep) + "errors";
  EXPECT_EQ(ErrorLogPath("QM1"), kQmgrs + "QM1" + errors);
  EXPECT_EQ(ErrorLogPath("QM.A.B"), kQmgrs + "QM!A!B" + errors);
  EXPECT_EQ(ErrorLogPath(" QM.A  "), kQmgrs + "QM!A" + errors);  // blanks around stripped
  EXPECT_EQ(ErrorLogPath("QM/A"), kQmgrs + "QM&A" + errors);     // "/" never makes a sub-folder
  EXPECT_EQ(ErrorLogPath("qm_1%"), kQmgrs + "qm_1%" + errors);
  EXPECT_EQ(ErrorLogPath(".."), kQmgrs + "!!" + errors);
  const std::string longest(MQ_Q_MGR_NAME_LENGTH, 'Q');
  EXPECT_EQ(ErrorLogPath(longest), kQmgrs + longest + errors);
}

TEST(QmgrDirectory, NamesThatAreNoQueueManagerNameAreRefused) {
  NoMqsIni none;
  for (const std::string& name : std::vector<std::string>
       {"QM1\\..\\QM1", "..\\QM1", "\\QM1", "C:QM1", "C:\\QM1", "QM 1", "QM\t1", "QM*", "QM-1", "",
        "   ", std::string(MQ_Q_MGR_NAME_LENGTH + 1, 'Q')}) {
    EXPECT_EQ(ErrorLogPath(name), "<refused>") << name;
    if (name.empty()) continue;  // no name asks for the defaults
    MQLogInfo info{};
    info.lLogType = 7;
    EXPECT_EQ(GetMQLogInfo(name.c_str(), &info), 0) << name;
    EXPECT_EQ(info.lLogType, 0) << name;  // cleared, nothing read
  }
}

}  // namespace
