// Fuzz target: arbitrary mqs.ini and qm.ini contents (the input split at its first zero
// byte) in a scratch configuration root, read by every discovery operation.
#include <cmqc.h>
#include <cmqcfc.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "vrqmqtx.h"

namespace {

// The scratch root (VXWMQ_MQS_HOME) with qmgrs/QM1 and data/ for the two qm.ini places.
const std::string* Root() {
  static const std::string* root = [] () -> const std::string* {
    char pattern[] = "/tmp/fuzz_mq_discovery.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return nullptr;
    auto* path = new std::string(pattern);
    std::error_code ec;
    std::filesystem::create_directories(*path + "/qmgrs/QM1", ec);
    std::filesystem::create_directories(*path + "/data", ec);
    setenv("VXWMQ_MQS_HOME", path->c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*Root(), ignored);
    });
    return path;
  }();
  return root;
}

void Write(const std::string& path, std::string_view text) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string* root = Root();
  if (root == nullptr) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto split = input.find('\0');
  const std::string_view mqs = input.substr(0, split);
  const std::string_view qm = split == std::string_view::npos ? input : input.substr(split + 1);
  Write(*root + "/mqs.ini", mqs);
  Write(*root + "/qmgrs/QM1/qm.ini", qm);
  Write(*root + "/data/qm.ini", qm);

  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q_MGR, MQCFT_RESPONSE, 256);
  if (msg != nullptr) {
    Get_QMgr_Names(msg, "*");
    Get_QMgr_Names(msg, "QM*");
    DeletePcfMessage(msg);
  }
  char name[49];
  GetDefaultQmgr(name, sizeof name);
  MQLogInfo info;
  GetMQLogInfo("QM1", &info);
  GetMQLogInfo(nullptr, &info);
  char path[VRQ_PL_PATH_SIZE];
  GetErrorLogPath(VRQ_ERRLOG_QMGR, "QM1", path);
  GetErrorLogPath(VRQ_ERRLOG_INSTALLATION, nullptr, path);
  return 0;
}
