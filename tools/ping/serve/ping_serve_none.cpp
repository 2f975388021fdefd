// The serve mode where this build has no HTTP server library (the Windows builds).
#include <cstdio>

#include "vrqping.h"

int RunServe(const ServeOptions&) {
  std::fprintf(stderr, "vrqmq: serve mode is not available in this build (no HTTP server library)\n");
  return 1;
}
