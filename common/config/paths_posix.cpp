// Installation directory on POSIX systems: the default, overridden by the parent of the
// working directory.
#include <unistd.h>

#include <cstdio>

#include "paths_platform.h"

namespace vrq::paths {

namespace {
constexpr const char* kDefaultInstallDir = "/opt/orvane/vxwmq";
}

void PlatformInstallDir(char* buffer) {
  std::snprintf(buffer, kInstallDirRoom, "%s", kDefaultInstallDir);
  char cwd[kInstallDirRoom];
  if (getcwd(cwd, sizeof cwd) == nullptr) return;
  if (CutToParent(cwd)) std::snprintf(buffer, kInstallDirRoom, "%s", cwd);
}

}  // namespace vrq::paths
