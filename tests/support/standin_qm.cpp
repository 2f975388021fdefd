// The test helper around the vrqsim command line.
#include "standin_qm.h"

#include <cstdlib>

namespace vrqtest {

namespace {
constexpr const char* kDirEnv = "VRQSIM_DIR";
}

std::string StandinQm::ServerPath() {
#ifdef VRQ_STANDIN_SERVER
  return VRQ_STANDIN_SERVER;
#else
  return "vrqsim";
#endif
}

bool StandinQm::Available() {
#ifdef VRQ_STANDIN_SERVER
  return true;
#else
  return false;
#endif
}

StandinQm::StandinQm(std::string name, const std::string& definitions) : name_(std::move(name)) {
  if (const char* old = std::getenv(kDirEnv)) {
    had_env_ = true;
    saved_env_ = old;
  }
  setenv(kDirEnv, dir_.path().c_str(), 1);
  const std::string defs = dir_.file("definitions.mqsc");
  WriteFile(defs, definitions);
  if (Command({"create", name_, "-d", defs, "-D"}).status == 0) Start();
}

StandinQm::~StandinQm() {
  Stop();
  Command({"delete", name_});
  if (had_env_)
    setenv(kDirEnv, saved_env_.c_str(), 1);
  else
    unsetenv(kDirEnv);
}

std::vector<std::string> StandinQm::env() const { return {std::string(kDirEnv) + "=" + dir_.path()}; }

ProcessResult StandinQm::Command(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{ServerPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, env(), 30000);
}

bool StandinQm::Fault(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"fault", name_};
  argv.insert(argv.end(), args.begin(), args.end());
  return Command(argv).status == 0;
}

bool StandinQm::Stop() {
  if (!running_) return true;
  running_ = Command({"stop", name_}).status != 0;
  return !running_;
}

bool StandinQm::Start() {
  running_ = Command({"start", name_}).status == 0;
  return running_;
}

}  // namespace vrqtest
