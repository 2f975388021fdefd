// Feeds arbitrary records to the replay of a queue manager's recovery log: the input is cut
// into records (type byte, 16-bit length, body) that are framed with correct lengths and
// checksums, so that the record decoders themselves are reached, or (first byte odd) taken
// as the log's bytes as they are. Replay may refuse the log; it may not crash, overrun or hang.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "queue_manager.h"
#include "recovery_log.h"

using namespace vrqsim;

namespace {

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

std::string Framed(const uint8_t* data, size_t size) {
  std::string log("VRQRLOG1", 8);
  size_t pos = 0;
  while (pos + 3 <= size) {
    const uint8_t type = data[pos];
    const size_t length = std::min<size_t>(data[pos + 1] | (data[pos + 2] << 8), size - pos - 3);
    std::string record(1, static_cast<char>(type));
    record.append(reinterpret_cast<const char*>(data + pos + 3), length);
    const uint32_t body = static_cast<uint32_t>(length);
    const uint32_t crc = Crc32(reinterpret_cast<const uint8_t*>(record.data()), record.size());
    log.append(reinterpret_cast<const char*>(&body), 4);
    log.append(reinterpret_cast<const char*>(&crc), 4);
    log += record;
    pos += 3 + length;
  }
  return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char d[] = "/tmp/fuzz_recovery_log.XXXXXX";
    return std::string(mkdtemp(d) ? d : "/tmp");
  }();
  if (size < 1) return 0;
  const std::string log = data[0] & 1 ? std::string(reinterpret_cast<const char*>(data + 1), size - 1)
                                      : Framed(data + 1, size - 1);
  const int fd = open((dir + "/recovery.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  const bool written = write(fd, log.data(), log.size()) == static_cast<ssize_t>(log.size());
  close(fd);
  if (!written) return 0;
  QueueManager qm("FUZZ.QM");
  RecoveryLog recovery(dir);
  std::string error;
  recovery.Recover(qm, error);
  return 0;
}
