// Installation discovery on Windows, from a registry laid out as MQ lays it out: the
// configuration root (FilePath), the queue managers of an installation without mqs.ini,
// the default queue manager, the installation prefix, log settings, error-log directories,
// remote queue-manager groups (the user's keys) and the server version; values of the wrong
// type, without terminator or too long. The test writes the keys itself (under wine64 into
// the prefix's registry) and removes them again.
#include <cmqc.h>
#include <cmqcfc.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "mqtx_test.h"

namespace {

constexpr const char* kMqRoot = "SOFTWARE\\IBM\\MQSeries\\CurrentVersion";
constexpr const char* kToolkitKey = "Software\\Orvane\\Veltrix/WMQ";
constexpr const char* kGroupsKey = "Software\\Orvane\\Veltrix/WMQ\\Remote QMGRs";

// A registry key created (with its parents) for writing.
class Key {
 public:
  Key(HKEY root, const std::string& path) {
    EXPECT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS)
        << path;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  const Key& Text(const char* name, const std::string& value) const {
    return Raw(name, REG_SZ, value.c_str(), value.size() + 1);
  }
  const Key& Number(const char* name, DWORD value) const { return Raw(name, REG_DWORD, &value, sizeof value); }
  const Key& Raw(const char* name, DWORD type, const void* data, size_t size) const {
    EXPECT_EQ(RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
              ERROR_SUCCESS)
        << name;
    return *this;
  }

 private:
  HKEY key_ = nullptr;
};

std::string Mq(const std::string& sub) { return std::string(kMqRoot) + "\\" + sub; }

// Each test starts and ends without MQ's keys and the toolkit's remote groups.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\IBM\\MQSeries");
    RegDeleteTreeA(HKEY_CURRENT_USER, kToolkitKey);
  }
};

struct Pcf {
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q_MGR, MQCFT_RESPONSE, 256);
  ~Pcf() { DeletePcfMessage(msg); }
  std::vector<std::string> List(int parameter) const {
    MESSAGE attr{};
    if (GetAttrByID(parameter, &attr, msg) != 1) return {"<none>"};
    std::vector<std::string> values;
    char value[MQ_Q_MGR_NAME_LENGTH + 1];
    for (int i = 0; i < reinterpret_cast<const MQCFSL*>(attr.pData)->Count; ++i) {
      GetPcfStrListAttrValue(&attr, i, value, MQ_Q_MGR_NAME_LENGTH);
      values.push_back(mqtxtest::Trimmed(value, sizeof value));
    }
    DeleteMessage(&attr);
    return values;
  }
};

using Names = std::vector<std::string>;

std::vector<std::string> QueueManagers(const char* mask) {
  Pcf pcf;
  MQPlatform* platform = CreateMQPlatform("local");
  EXPECT_EQ(plReadWithMask(pcf.msg, platform, mask), 1);
  DeleteMQPlatform(platform);
  return pcf.List(MQCA_Q_MGR_NAME);
}

TEST_F(Registry, VersionPrefixAndDefaultQueueManager) {
  Key(HKEY_LOCAL_MACHINE, kMqRoot).Number("MQServerVersion", 9).Number("MQServerRelease", 3);
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\AllQueueManagers")).Text("DefaultPrefix", "C:\\Program Files\\MQ");
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\DefaultQueueManager")).Text("Name", "QM.MAIN");

  int version = -1, release = -1;
  EXPECT_EQ(GetNT_MQ_Version(&version, &release), 1);
  EXPECT_EQ(version, 9);
  EXPECT_EQ(release, 3);

  char prefix[VRQ_PL_PATH_SIZE];
  EXPECT_EQ(GetBaseWMQPath(prefix), 1);
  EXPECT_STREQ(prefix, "C:\\Program Files\\MQ");

  char name[8];
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 1);
  EXPECT_STREQ(name, "QM.MAIN");
  EXPECT_EQ(GetDefaultQmgr(name, 4), 1);  // cut, still terminated
  EXPECT_STREQ(name, "QM.");

  char errors[VRQ_PL_PATH_SIZE];
  EXPECT_EQ(GetErrorLogPath(VRQ_ERRLOG_INSTALLATION, nullptr, errors), 1);
  EXPECT_STREQ(errors, "C:\\Program Files\\MQ\\errors");
}

TEST_F(Registry, MissingOrMistypedValuesAreReported) {
  int version = -1, release = -1;
  {
    vrqtest::CaptureStdout out;
    EXPECT_EQ(GetNT_MQ_Version(&version, &release), 0);
    EXPECT_NE(out.text().find("RegOpenKeyEx for registry path HKEY_LOCAL_MACHINE\\" + std::string(kMqRoot) +
                              " failed. Reason: "),
              std::string::npos)
        << out.text();
  }
  EXPECT_EQ(version, 0);
  EXPECT_EQ(release, 0);

  // A release stored as text is not a release: the version read before it is not kept.
  Key(HKEY_LOCAL_MACHINE, kMqRoot).Number("MQServerVersion", 8).Text("MQServerRelease", "0");
  {
    vrqtest::CaptureStdout out;
    EXPECT_EQ(GetNT_MQ_Version(&version, &release), 0);
    EXPECT_NE(out.text().find("Attempt to get MQServerRelease failed"), std::string::npos) << out.text();
  }
  EXPECT_EQ(version, 0);

  char name[MQ_Q_MGR_NAME_LENGTH + 1] = "x";
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 0);
  EXPECT_STREQ(name, "");
  // A number where a name belongs, an empty name: no default queue manager.
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\DefaultQueueManager")).Number("Name", 7);
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 0);
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\DefaultQueueManager")).Text("Name", "");
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 0);
  // Without a prefix the root is empty, which is no failure.
  char prefix[VRQ_PL_PATH_SIZE] = "x";
  EXPECT_EQ(GetBaseWMQPath(prefix), 1);
  EXPECT_STREQ(prefix, "");
}

TEST_F(Registry, TextsWithoutTerminatorOrTooLong) {
  // Stored without its terminator: read up to its end and terminated.
  const char unterminated[] = {'Q', 'M', '.', 'R', 'A', 'W'};
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\DefaultQueueManager"))
      .Raw("Name", REG_SZ, unterminated, sizeof unterminated);
  char name[MQ_Q_MGR_NAME_LENGTH + 1];
  EXPECT_EQ(GetDefaultQmgr(name, sizeof name), 1);
  EXPECT_STREQ(name, "QM.RAW");

  // A prefix longer than any path is refused, never cut into a wrong one.
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\AllQueueManagers")).Text("DefaultPrefix", "C:\\" + std::string(2000, 'p'));
  char prefix[VRQ_PL_PATH_SIZE];
  EXPECT_EQ(GetBaseWMQPath(prefix), 1);
  EXPECT_STREQ(prefix, "");
  char errors[VRQ_PL_PATH_SIZE];
  // No usable prefix in the registry and no mqs.ini behind it.
  vrqtest::TempDir empty;
  _putenv_s("VXWMQ_MQS_HOME", empty.path().c_str());
  EXPECT_EQ(GetErrorLogPath(VRQ_ERRLOG_INSTALLATION, nullptr, errors), 0);
  _putenv_s("VXWMQ_MQS_HOME", "");
}

TEST_F(Registry, QueueManagersWithoutMqsIniAndTheirDirectories) {
  vrqtest::TempDir root;  // FilePath: a configuration root without mqs.ini
  Key(HKEY_LOCAL_MACHINE, kMqRoot).Text("FilePath", root.path());
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\QueueManager\\QM1"))
      .Text("Name", "QM1")
      .Text("Prefix", "D:\\mq")
      .Text("Directory", "QM1");
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\QueueManager\\QM!MAIN"))
      .Text("Name", "QM.MAIN")
      .Text("DataPath", "E:\\data\\QM!MAIN");
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\QueueManager\\NONAME"));  // no Name: not listed

  EXPECT_EQ(QueueManagers("*"), (Names{"QM.MAIN", "QM1"}));  // in key order
  EXPECT_EQ(QueueManagers("QM1"), Names{"QM1"});

  char errors[VRQ_PL_PATH_SIZE];
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, "QM1", errors), 1);
  EXPECT_STREQ(errors, "D:\\mq\\qmgrs\\QM1\\errors");
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, " QM.MAIN ", errors), 1);  // blanks stripped, '.' as '!'
  EXPECT_STREQ(errors, "E:\\data\\QM!MAIN\\errors");
  // A queue manager without a key: the mqs.ini rules, which without mqs.ini give the
  // default prefix's directory.
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, "NO.SUCH", errors), 1);
  EXPECT_STREQ(errors, "c:\\mqm\\qmgrs\\NO!SUCH\\errors");
}

TEST_F(Registry, NeitherMqsIniNorQueueManagerKeysIsAFailure) {
  vrqtest::TempDir empty;
  _putenv_s("VXWMQ_MQS_HOME", empty.path().c_str());
  Pcf pcf;
  MQPlatform* platform = CreateMQPlatform("local");
  std::string text;
  {
    vrqtest::CaptureStdout out;
    EXPECT_EQ(plReadWithMask(pcf.msg, platform, "*"), 0);
    text = out.text();
  }
  DeleteMQPlatform(platform);
  EXPECT_NE(text.find("Attempt to get MQ 5.x queue manager names failed: RegOpenKeyEx for registry path "
                      "HKEY_LOCAL_MACHINE\\" + Mq("Configuration\\QueueManager") + " failed. Reason: "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("0104W Could not open"), std::string::npos) << text;
  EXPECT_EQ(pcf.msg->pPcfHdr->CompCode, MQCC_FAILED);
  EXPECT_EQ(pcf.msg->pPcfHdr->Reason, MQRC_UNKNOWN_OBJECT_Q_MGR);
  EXPECT_EQ(pcf.List(MQCA_Q_MGR_NAME), Names{"<none>"});
  _putenv_s("VXWMQ_MQS_HOME", "");
}

TEST_F(Registry, QueueManagerNamesFromMqsIniWhenThereIsOne) {
  vrqtest::TempDir root;
  vrqtest::WriteFile(root.file("mqs.ini"), "QueueManager:\n   Name=FROM.INI\n");
  Key(HKEY_LOCAL_MACHINE, kMqRoot).Text("FilePath", root.path());
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\QueueManager\\QM1")).Text("Name", "FROM.REGISTRY");
  EXPECT_EQ(QueueManagers("*"), Names{"FROM.INI"});
  // VXWMQ_MQS_HOME comes before the registry.
  vrqtest::TempDir other;
  vrqtest::WriteFile(other.file("mqs.ini"), "QueueManager:\n   Name=FROM.ENV\n");
  _putenv_s("VXWMQ_MQS_HOME", other.path().c_str());
  EXPECT_EQ(QueueManagers("*"), Names{"FROM.ENV"});
  _putenv_s("VXWMQ_MQS_HOME", "");
}

TEST_F(Registry, LogSettingsFromKeysOrQmIni) {
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\QueueManager\\QM1\\Log"))
      .Text("LogPath", "D:\\mq\\log\\QM1\\")
      .Number("LogType", 3)
      .Number("LogPrimaryFiles", 5)
      .Number("LogSecondaryFiles", 7)
      .Number("LogFilePages", 2048)
      .Number("LogBufferPages", 16);
  MQLogInfo info{};
  ASSERT_EQ(GetMQLogInfo("QM1", &info), 1);
  EXPECT_STREQ(info.szLogPath, "D:\\mq\\log\\QM1\\");
  EXPECT_EQ(info.lLogType, 3);
  EXPECT_EQ(info.lPrimaryFiles, 5);
  EXPECT_EQ(info.lSecondaryFiles, 7);
  EXPECT_EQ(info.lFilePages, 2048);
  EXPECT_EQ(info.lBufferPages, 16);

  // Defaults, with the type as text.
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\LogDefaults"))
      .Text("LogDefaultPath", "D:\\mq\\log")
      .Text("LogType", "CIRCULAR")
      .Number("LogPrimaryFiles", 3);
  ASSERT_EQ(GetMQLogInfo("", &info), 1);
  EXPECT_STREQ(info.szLogPath, "D:\\mq\\log");
  EXPECT_EQ(info.lLogType, 2);
  EXPECT_EQ(info.lPrimaryFiles, 3);
  EXPECT_EQ(info.lSecondaryFiles, 0);  // cleared, not left from before

  // No Log key: the qm.ini in the queue manager's DataPath.
  vrqtest::TempDir data;
  vrqtest::WriteFile(data.file("qm.ini"), "Log:\n   LogType=LINEAR\n   LogPrimaryFiles=10\n   LogPath=/logs/main/\n");
  Key(HKEY_LOCAL_MACHINE, Mq("Configuration\\QueueManager\\QM!B")).Text("DataPath", data.path());
  ASSERT_EQ(GetMQLogInfo("QM.B", &info), 1);
  EXPECT_EQ(info.lLogType, 3);
  EXPECT_EQ(info.lPrimaryFiles, 10);
  EXPECT_STREQ(info.szLogPath, "/logs/main/");

  EXPECT_EQ(GetMQLogInfo("QM1", nullptr), 0);
}

TEST_F(Registry, RemoteGroupsFromTheUsersKeys) {
  Key(HKEY_CURRENT_USER, std::string(kGroupsKey) + "\\PRODGRP\\ENTRY1").Text("QMNAME", "  REMOTE.A ");
  Key(HKEY_CURRENT_USER, std::string(kGroupsKey) + "\\PRODGRP\\REMOTE.B");  // named by its key
  Pcf pcf;
  ASSERT_EQ(GetRemoteQMgrNames(pcf.msg, " PROD GRP "), 1);
  EXPECT_EQ(pcf.List(20011), (Names{"DEFAULT", "DEFAULT"}));
  EXPECT_EQ(pcf.List(MQCA_Q_MGR_NAME), (Names{"REMOTE.A", "REMOTE.B"}));

  // A missing group, and the empty one that would name the parent key of all groups.
  for (const char* group : {"NOGROUP", "   "}) {
    Pcf missing;
    vrqtest::CaptureStdout out;
    EXPECT_EQ(GetRemoteQMgrNames(missing.msg, group), 0) << group;
    EXPECT_NE(out.text().find("HKEY_CURRENT_USER\\Software\\Orvane\\Veltrix/WMQ\\Remote QMGRs"), std::string::npos)
        << out.text();
    EXPECT_EQ(missing.List(MQCA_Q_MGR_NAME), Names{});
  }
}

}  // namespace
