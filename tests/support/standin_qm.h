// A stand-in queue manager for tests: created and started in a temporary directory with
// the given definitions, reached by MQCONN in this process (VRQSIM_DIR is set while it
// lives) and by child processes through env(); stopped and deleted on destruction.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vrqtest.h"

namespace vrqtest {

class StandinQm {
 public:
  // definitions: lines such as "DEFINE QLOCAL(APP.IN) MAXDEPTH(10)".
  explicit StandinQm(std::string name = "VRQ.TEST.QM", const std::string& definitions = "");
  ~StandinQm();
  StandinQm(const StandinQm&) = delete;
  StandinQm& operator=(const StandinQm&) = delete;

  bool running() const { return running_; }
  const std::string& name() const { return name_; }
  const std::string& dir() const { return dir_.path(); }
  // Environment entries for Run(): {"VRQSIM_DIR=<dir>"}.
  std::vector<std::string> env() const;

  // vrqsim <args...> against this queue manager's directory.
  ProcessResult Command(const std::vector<std::string>& args) const;
  // vrqsim fault <qm> <args...>: "put-inhibit Q", "cmdserver stop", "drop-connections", ...
  bool Fault(const std::vector<std::string>& args) const;
  bool Stop();
  bool Start();

  // The vrqsim program of this build.
  static std::string ServerPath();
  // Whether this build has one: a build against a real IBM MQ has no stand-in.
  static bool Available();

 private:
  std::string name_;
  TempDir dir_;
  std::string saved_env_;
  bool had_env_ = false;
  bool running_ = false;
};

}  // namespace vrqtest

// Ends the test as skipped in a build without the stand-in queue manager.
#define VRQ_SKIP_WITHOUT_STANDIN()                                          \
  do {                                                                     \
    if (!::vrqtest::StandinQm::Available())                                \
      GTEST_SKIP() << "built against a real IBM MQ: no stand-in to run on"; \
  } while (0)
