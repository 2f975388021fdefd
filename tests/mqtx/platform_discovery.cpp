// Installation discovery against fixture installations written in a temporary directory:
// queue-manager names from mqs.ini and mqproxy.ini, the default queue manager, remote
// groups, log settings, error-log directories and files, a queue manager created by the
// stand-in, and hostile or missing files.
#include <cmqc.h>
#include <cmqcfc.h>

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "mqtx_test.h"

namespace {

using vrqtest::WriteFile;

constexpr const char* kMqsIni = R"(AllQueueManagers:
   DefaultPrefix=/srv/mq
LogDefaults:
   LogPrimaryFiles=3
   LogSecondaryFiles=2
   LogFilePages=4096
   LogType=CIRCULAR
   LogBufferPages=0
   LogDefaultPath=/srv/mq/log
DefaultQueueManager:
   Name=QM.MAIN
QueueManager:
   Name=QM1
   Prefix=@ROOT@
   Directory=QM1
QueueManager:
   Name=QM.MAIN
   Prefix=@ROOT@
   Directory=QM!MAIN
   DataPath=@ROOT@/data/QM!MAIN
QueueManager:
   Name=QM1
   Prefix=@ROOT@
   Directory=QM1
QueueManager:
   Name=QM.B
   Prefix=@ROOT@
   Directory=QM!B
)";

constexpr const char* kCircularQmIni = R"(ExitPath:
   ExitsDefaultPath=/var/mqm/exits
Log:
   LogPrimaryFiles=5
   LogSecondaryFiles=7
   LogFilePages=2048
   LogType=CIRCULAR
   LogBufferPages=16
   LogPath=/srv/mq/log/QM1/
)";

constexpr const char* kLinearQmIni = "Log:\n LogType=LINEAR\n LogPrimaryFiles=10\n"
                                     " LogPath=/logs/main/\nService:\n Name=AuthorizationService\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (auto p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  return text;
}

// An MQ configuration root (VXWMQ_MQS_HOME) and the toolkit's installation (VXWMQ_HOME).
struct Installation {
  mqtxtest::Install toolkit;
  vrqtest::TempDir root;
  Installation() { setenv("VXWMQ_MQS_HOME", root.path().c_str(), 1); }
  ~Installation() { unsetenv("VXWMQ_MQS_HOME"); }
  std::string Path(const std::string& rel) const { return root.path() + "/" + rel; }
  void Write(const std::string& rel, const std::string& text) const {
    std::filesystem::create_directories(std::filesystem::path(Path(rel)).parent_path());
    WriteFile(Path(rel), text);
  }
  void Standard() const {
    Write("mqs.ini", Replace(kMqsIni, "@ROOT@", root.path()));
    Write("qmgrs/QM1/qm.ini", kCircularQmIni);
    Write("data/QM!MAIN/qm.ini", kLinearQmIni);
  }
  void Group(const std::string& file, const std::string& text) const {
    WriteFile(toolkit.dir.path() + "/config/groups/" + file, text);
  }
};

struct Pcf {
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q_MGR, MQCFT_RESPONSE, 256);
  ~Pcf() { DeletePcfMessage(msg); }
  std::vector<std::string> List(int parameter) const {
    std::vector<std::string> names;
    MESSAGE attr{};
    if (GetAttrByID(parameter, &attr, msg) != 1) return {"<none>"};
    const auto* sl = reinterpret_cast<const MQCFSL*>(attr.pData);
    char value[MQ_Q_MGR_NAME_LENGTH + 1];
    for (int i = 0; i < sl->Count; ++i) {
      GetPcfStrListAttrValue(&attr, i, value, MQ_Q_MGR_NAME_LENGTH);
      names.push_back(mqtxtest::Trimmed(value, sizeof value));
    }
    DeleteMessage(&attr);
    return names;
  }
};

using Names = std::vector<std::string>;

TEST(PlatformDiscovery, QueueManagersOnceInOrderThenProxies) {
  Installation inst;
  inst.Standard();
  inst.Group("mqproxy.ini", "# proxies\nQueueManager::1=REMOTE.QM1\nQueueManager::2=QM1\n");
  Pcf all;
  ASSERT_EQ(Get_QMgr_Names(all.msg, "*"), 1);
  EXPECT_EQ(all.List(MQCA_Q_MGR_NAME), (Names{"QM1", "QM.MAIN", "QM.B", "REMOTE.QM1", "QM1"}));

  Pcf masked;
  ASSERT_EQ(Get_QMgr_Names(masked.msg, "QM.*"), 1);
  EXPECT_EQ(masked.List(MQCA_Q_MGR_NAME), (Names{"QM.MAIN", "QM.B", "REMOTE.QM1", "QM1"}));

  MQPlatform* platform = CreateMQPlatform("local");
  ASSERT_NE(platform, nullptr);
  Pcf viaRecord;
  EXPECT_EQ(platform->Read(viaRecord.msg, platform), 1);
  EXPECT_EQ(viaRecord.List(MQCA_Q_MGR_NAME), all.List(MQCA_Q_MGR_NAME));
  EXPECT_EQ(DeleteMQPlatform(platform), 1);
}

TEST(PlatformDiscovery, DefaultQueueManagerCutToBuffer) {
  Installation inst;
  inst.Standard();
  char name[49];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 1);
  EXPECT_STREQ(name, "QM.MAIN");
  char small[4];
  EXPECT_EQ(GetDefaultQmgr(small, sizeof small), 1);
  EXPECT_STREQ(small, "QM.");
  inst.Write("mqs.ini", "DefaultQueueManager:\nQueueManager:\n Name=QM1\n");
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 0);
  EXPECT_STREQ(name, "");
}

TEST(PlatformDiscovery, LogSettingsOfQueueManagersAndDefaults) {
  Installation inst;
  inst.Standard();
  MQLogInfo info;
  ASSERT_EQ(GetMQLogInfo("QM1", &info), 1);
  EXPECT_STREQ(info.szLogPath, "/srv/mq/log/QM1/");
  EXPECT_EQ(info.lLogType, 2);
  EXPECT_EQ(info.lPrimaryFiles, 5);
  EXPECT_EQ(info.lSecondaryFiles, 7);
  EXPECT_EQ(info.lFilePages, 2048);
  EXPECT_EQ(info.lBufferPages, 16);

  ASSERT_EQ(GetMQLogInfo("QM.MAIN", &info), 1);  // DataPath form
  EXPECT_STREQ(info.szLogPath, "/logs/main/");
  EXPECT_EQ(info.lLogType, 3);
  EXPECT_EQ(info.lPrimaryFiles, 10);
  EXPECT_EQ(info.lSecondaryFiles, 0);

  ASSERT_EQ(GetMQLogInfo(nullptr, &info), 1);
  EXPECT_STREQ(info.szLogPath, "/srv/mq/log");
  EXPECT_EQ(info.lLogType, 2);
  EXPECT_EQ(info.lFilePages, 4096);

  EXPECT_EQ(GetMQLogInfo("QM.B", &info), 0);  // listed, but no qm.ini
  EXPECT_EQ(GetMQLogInfo("NOSUCH", &info), 0);
  EXPECT_EQ(GetMQLogInfo("QM1", nullptr), 0);
}

TEST(PlatformDiscovery, ErrorLogDirectories) {
  Installation inst;
  inst.Standard();
  char out[VRQ_PL_PATH_SIZE];
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, "QM1", out), 1);
  EXPECT_EQ(std::string(out), inst.Path("qmgrs/QM1/errors"));
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, "QM.MAIN", out), 1);
  EXPECT_EQ(std::string(out), inst.Path("data/QM!MAIN/errors"));
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_INSTALLATION, nullptr, out), 1);
  EXPECT_STREQ(out, "/srv/mq/errors");
  EXPECT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, nullptr, out), 0);
}

TEST(PlatformDiscovery, ErrorLogFilesByFilterWithTimes) {
  vrqtest::TempDir dir;
  for (const char* f : {"AMQERR01.LOG", "AMQERR02.LOG", "AMQ1234.0.FDC", "amqerr01.log",
                        "AMQ.LO", "notes.txt", "AMQERR01.log"})
    WriteFile(dir.file(f), "x");
  utimbuf times{1700000000, 1700000000};
  utime(dir.file("AMQERR01.LOG").c_str(), &times);

  auto list = [&](int filter) {
    int rc = 0;
    auto found = mqtxtest::ErrorLogs(dir.path(), filter, &rc);
    EXPECT_EQ(rc, 1);
    return found;
  };
  const auto logs = list(VRQ_ERRLOG_LOGS);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0], (std::pair<std::string, int>{"AMQERR01.LOG", 1700000000}));
  EXPECT_EQ(logs[1].first, "AMQERR02.LOG");
  EXPECT_GT(logs[1].second, 0);
  const auto fdc = list(VRQ_ERRLOG_FDC);
  ASSERT_EQ(fdc.size(), 1u);
  EXPECT_EQ(fdc[0].first, "AMQ1234.0.FDC");
  EXPECT_EQ(list(VRQ_ERRLOG_ALL).size(), 4u);  // the three above and AMQERR01.log

  MESSAGE names{}, stamps{};
  CreatePcfStrListAttr(&names, MQCACF_Q_NAMES, 0, 64);
  CreatePcfIntListAttr(&stamps, MQIACF_Q_ATTRS, 0);
  EXPECT_EQ(GetErrorLogNames(dir.file("missing").c_str(), 0, &names, &stamps), 0);
  EXPECT_EQ(GetErrorLogNames(nullptr, 0, &names, &stamps), 0);
  DeleteMessage(&names);
  DeleteMessage(&stamps);
}

TEST(PlatformDiscovery, RemoteGroupLists) {
  Installation inst;
  inst.Group("PRODGRP.ini", "QMNAME=REMOTE.A\nQMNAME=REMOTE.B  \r\nOTHER=X\n");
  Pcf pcf;
  ASSERT_EQ(GetRemoteQMgrNames(pcf.msg, " PROD GRP "), 1);
  EXPECT_EQ(pcf.List(20011), (Names{"DEFAULT", "DEFAULT"}));
  EXPECT_EQ(pcf.List(MQCA_Q_MGR_NAME), (Names{"REMOTE.A", "REMOTE.B"}));

  Pcf missing;
  vrqtest::CaptureStdout out;
  EXPECT_EQ(GetRemoteQMgrNames(missing.msg, "NOGROUP"), 0);
  EXPECT_NE(out.text().find("0108E Unable to read <NOGROUP.ini> file\n"), std::string::npos);
  EXPECT_EQ(missing.List(20011), Names{});
  EXPECT_EQ(missing.List(MQCA_Q_MGR_NAME), Names{});
}

TEST(PlatformDiscovery, MissingMqsIni) {
  Installation inst;
  Pcf pcf;
  vrqtest::CaptureStdout out;
  EXPECT_EQ(Get_QMgr_Names(pcf.msg, "*"), 0);
  const std::string text = out.text();
  EXPECT_NE(text.find("Error in fopen()\n"), std::string::npos);
  EXPECT_NE(text.find("0104W Could not open \"" + inst.Path("mqs.ini") + "\"\n"), std::string::npos);
  EXPECT_EQ(pcf.msg->pPcfHdr->CompCode, MQCC_FAILED);
  EXPECT_EQ(pcf.msg->pPcfHdr->Reason, MQRC_UNKNOWN_OBJECT_Q_MGR);  // 2086, as the header says

  char path[VRQ_PL_PATH_SIZE];
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, "QM.A", path), 1);
  EXPECT_STREQ(path, "/var/mqm/qmgrs/QM!A/errors");
  EXPECT_EQ(GetErrorLogPath(VRQ_ERRLOG_INSTALLATION, nullptr, path), 0);
  char name[49];
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 0);
  MQLogInfo info;
  EXPECT_EQ(GetMQLogInfo(nullptr, &info), 0);
}

TEST(PlatformDiscovery, HostileFilesAreCutNotOverrun) {
  Installation inst;
  std::string mqs = "QueueManager:\nName=\nQueueManager:\n   Name\nLog:\n=\n:\n";
  const std::string longName(300, 'N');
  mqs += "QueueManager:\n Name=" + longName + "\n DataPath=/" + std::string(5000, 'd') + "\n";
  for (int i = 0; i < 300; ++i) mqs += "QueueManager:\n Name=QM" + std::to_string(i) + "\n";
  inst.Write("mqs.ini", mqs);
  inst.Group("mqproxy.ini", "QueueManager::1=PROXY\n");
  Pcf pcf;
  ASSERT_EQ(Get_QMgr_Names(pcf.msg, "*"), 1);
  const Names names = pcf.List(MQCA_Q_MGR_NAME);
  ASSERT_EQ(names.size(), 255u);
  EXPECT_EQ(names[0], std::string(48, 'N'));
  EXPECT_EQ(names[254], "QM253");

  char path[VRQ_PL_PATH_SIZE];
  EXPECT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, longName.c_str(), path), 0);
  MQLogInfo info;
  EXPECT_EQ(GetMQLogInfo(longName.c_str(), &info), 0);

  inst.Write("mqs.ini", "QueueManager:\n Name=QM1\n Prefix=" + inst.root.path() +
                            "\n Directory=QM1\n");
  inst.Write("qmgrs/QM1/qm.ini", "Log:\n LogPath=/" + std::string(400, 'p') +
                                     "\n LogPrimaryFiles=99999999999\n LogType\n");
  ASSERT_EQ(GetMQLogInfo("QM1", &info), 1);
  EXPECT_EQ(std::strlen(info.szLogPath), sizeof info.szLogPath - 1);
  EXPECT_EQ(info.lPrimaryFiles, 0);
  EXPECT_EQ(info.lLogType, 0);
}

TEST(PlatformDiscovery, StandinCreatedQueueManagerIsDiscovered) {
  VRQ_SKIP_WITHOUT_STANDIN();
  Installation inst;
  vrqtest::TempDir sim;
  const std::vector<std::string> env = {"VRQSIM_DIR=" + sim.path(),
                                        "VXWMQ_MQS_HOME=" + inst.root.path()};
  const auto server = vrqtest::StandinQm::ServerPath();
  ASSERT_EQ(vrqtest::Run({server, "create", "DISC.QM1"}, env).status, 0);
  ASSERT_EQ(vrqtest::Run({server, "create", "DISC.QM2", "-D"}, env).status, 0);
  Pcf pcf;
  ASSERT_EQ(Get_QMgr_Names(pcf.msg, "DISC.*"), 1);
  EXPECT_EQ(pcf.List(MQCA_Q_MGR_NAME), (Names{"DISC.QM1", "DISC.QM2"}));
  char name[49];
  ASSERT_EQ(GetDefaultQmgr(name, sizeof name), 1);
  EXPECT_STREQ(name, "DISC.QM2");
  MQLogInfo info;
  ASSERT_EQ(GetMQLogInfo("DISC.QM1", &info), 1);
  EXPECT_EQ(info.lLogType, 2);
  EXPECT_EQ(std::string(info.szLogPath), inst.Path("log/DISC!QM1/"));
  char errors[VRQ_PL_PATH_SIZE];
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, "DISC.QM1", errors), 1);
  EXPECT_TRUE(std::filesystem::is_directory(errors));
}

}  // namespace
