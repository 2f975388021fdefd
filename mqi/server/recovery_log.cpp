// The recovery log: record encoding, appending with write faults kept out of memory,
// group fdatasync, checkpoints that replace the log atomically, and replay at start.
#include "recovery_log.h"

#include <cmqc.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

#include "queue_manager.h"

namespace vrqsim {

namespace {

constexpr char kSignature[8] = {'V', 'R', 'Q', 'R', 'L', 'O', 'G', '1'};
constexpr size_t kHeader = 9;   // u32 length, u32 crc, u8 type
// A record holds at most one message: its data, descriptor and names.
constexpr uint32_t kMaxBody = kMaxMsgLength + 64 * 1024;
// No checkpoint before the log reaches this size.
constexpr uint64_t kMinCheckpointBytes = 8u << 20;
constexpr size_t kCheckpointBuffer = 1u << 20;

enum Type : uint8_t {
  kCounters = 1,   // u64 next message id, u64 next unit of work
  kQueueDef = 2,   // queue definition (define, alter, replace)
  kQueueDel = 3,   // name
  kPut = 4,        // u64 id, u64 uow (0: outside syncpoint), queue, i64 expiry (wall ms), MQMD, data
  kGet = 5,        // u64 id, u64 uow
  kCommit = 6,     // u64 uow
  kBackout = 7,    // u64 uow
  kClear = 8,      // queue
};

uint32_t Crc32(const uint8_t* p, size_t n) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Builds one record: the header is filled in by Finish().
class Record {
 public:
  explicit Record(Type type) { bytes_.resize(kHeader); bytes_[8] = type; }
  Record& U64(uint64_t v) { return Raw(&v, 8); }
  Record& I64(int64_t v) { return Raw(&v, 8); }
  Record& I32(int32_t v) { return Raw(&v, 4); }
  Record& Str(std::string_view s) {
    I32(static_cast<int32_t>(s.size()));
    return Raw(s.data(), s.size());
  }
  Record& Raw(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
    return *this;
  }
  std::vector<uint8_t> Finish() {
    const uint32_t length = static_cast<uint32_t>(bytes_.size() - kHeader);
    const uint32_t crc = Crc32(bytes_.data() + 8, bytes_.size() - 8);
    std::memcpy(bytes_.data(), &length, 4);
    std::memcpy(bytes_.data() + 4, &crc, 4);
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
};

// Reads one record's body; every read is bounds-checked and a short body sets bad.
class Body {
 public:
  Body(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  uint64_t U64() { uint64_t v = 0; Raw(&v, 8); return v; }
  int64_t I64() { int64_t v = 0; Raw(&v, 8); return v; }
  int32_t I32() { int32_t v = 0; Raw(&v, 4); return v; }
  std::string Str() {
    const int32_t n = I32();
    if (n < 0 || static_cast<size_t>(n) > n_ - pos_) { bad = true; return {}; }
    std::string s(reinterpret_cast<const char*>(p_ + pos_), static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return s;
  }
  void Raw(void* out, size_t n) {
    if (bad || n > n_ - pos_) { bad = true; return; }
    std::memcpy(out, p_ + pos_, n);
    pos_ += n;
  }
  std::vector<uint8_t> Rest() {
    std::vector<uint8_t> v(p_ + pos_, p_ + n_);
    pos_ = n_;
    return v;
  }
  bool done() const { return !bad && pos_ == n_; }
  bool bad = false;

 private:
  const uint8_t* p_;
  size_t n_;
  size_t pos_ = 0;
};

// The integer attributes of a queue, in their order in a definition record.
constexpr MQLONG QueueAttrs::*kIntFields[] = {
    &QueueAttrs::type,          &QueueAttrs::definition_type,       &QueueAttrs::max_depth,
    &QueueAttrs::max_msg_length, &QueueAttrs::inhibit_put,          &QueueAttrs::inhibit_get,
    &QueueAttrs::def_persistence, &QueueAttrs::def_priority,        &QueueAttrs::shareability,
    &QueueAttrs::def_input_open_option, &QueueAttrs::trigger_control, &QueueAttrs::trigger_type,
    &QueueAttrs::trigger_depth, &QueueAttrs::trigger_msg_priority,  &QueueAttrs::usage,
    &QueueAttrs::backout_threshold,
};
constexpr std::string QueueAttrs::*kTextFields[] = {
    &QueueAttrs::description, &QueueAttrs::trigger_data, &QueueAttrs::process_name,
    &QueueAttrs::initiation_queue, &QueueAttrs::backout_queue,
};

std::vector<uint8_t> DefinitionRecord(const Queue& q) {
  Record r(kQueueDef);
  r.Str(q.name).Str(q.creation_date).Str(q.creation_time);
  for (auto f : kIntFields) r.I32(q.attrs.*f);
  for (auto f : kTextFields) r.Str(q.attrs.*f);
  return r.Finish();
}

std::vector<uint8_t> PutRecord(const Queue& q, const Message& m, uint64_t uow) {
  const int64_t expiry = m.expires_at ? WallMs() + (m.expires_at - SteadyMs()) : 0;
  Record r(kPut);
  r.U64(m.log_id).U64(uow).Str(q.name).I64(expiry).I32(static_cast<int32_t>(sizeof(MQMD)));
  r.Raw(&m.md, sizeof(MQMD)).Raw(m.data.data(), m.data.size());
  return r.Finish();
}

std::string ErrorText(int err) { return std::strerror(err); }

bool WriteAll(int fd, const uint8_t* p, size_t n, uint64_t offset) {
  while (n) {
    const ssize_t w = pwrite(fd, p, n, static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
    offset += static_cast<uint64_t>(w);
  }
  return true;
}

bool SyncDir(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

// A message read back from the log, waiting for the end of replay.
struct Pending {
  std::string queue;
  MQMD md{};
  std::vector<uint8_t> data;
  int64_t expiry = 0;
  uint64_t put_uow = 0;   // uncommitted put
  uint64_t get_uow = 0;   // uncommitted get
};

}  // namespace

RecoveryLog::RecoveryLog(std::string dir) : dir_(std::move(dir)), path_(dir_ + "/recovery.log") {}

RecoveryLog::~RecoveryLog() {
  if (fd_ >= 0) close(fd_);
  if (lock_fd_ >= 0) close(lock_fd_);
}

// One process writes the log: a second queue manager process of the same name (two starts
// racing) would interleave its records with the first's. A process that has just been
// killed may hold the lock for a moment longer, so a start waits up to two seconds for it.
bool RecoveryLog::Lock(std::string& error) {
  const std::string path = dir_ + "/recovery.lock";
  lock_fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_fd_ < 0) {
    error = "recovery log lock " + path + ": " + ErrorText(errno);
    return false;
  }
  for (int i = 0; i < 200; ++i) {
    if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  error = "recovery log " + path_ + " is held by another process of this queue manager";
  return false;
}

bool RecoveryLog::Logged(const Queue& q) {
  return q.attrs.definition_type != MQQDT_TEMPORARY_DYNAMIC && q.name.rfind("SYSTEM.MANAGED.", 0) != 0;
}

uint64_t RecoveryLog::UnitOfWork(Session& s) {
  if (!s.log_uow) s.log_uow = next_uow_++;
  return s.log_uow;
}

void RecoveryLog::Failed(const std::string& what, int err) {
  if (!failing_)
    std::fprintf(stderr, "recovery log %s: %s: %s; calls that must be logged fail with %d until it can be written\n",
                 path_.c_str(), what.c_str(), ErrorText(err).c_str(), static_cast<int>(MQRC_RESOURCE_PROBLEM));
  failing_ = true;
}

bool RecoveryLog::Append(const std::vector<uint8_t>& record) {
  if (fd_ < 0) return false;
  if (fail_writes_) {
    Failed("write", ENOSPC);
    return false;
  }
  if (!WriteAll(fd_, record.data(), record.size(), end_)) {
    const int err = errno;
    // A part written stays beyond the end: cut it so that the next record follows the last
    // whole one and a crash leaves no torn record in the middle of the log.
    if (ftruncate(fd_, static_cast<off_t>(end_)) != 0) {}
    Failed("write", err);
    return false;
  }
  if (failing_) std::fprintf(stderr, "recovery log %s: writable again\n", path_.c_str());
  failing_ = false;
  end_ += record.size();
  return true;
}

bool RecoveryLog::Put(const Queue& q, const Message& m, uint64_t uow) { return Append(PutRecord(q, m, uow)); }

bool RecoveryLog::Get(uint64_t id, uint64_t uow) { return Append(Record(kGet).U64(id).U64(uow).Finish()); }

bool RecoveryLog::Commit(uint64_t uow) { return Append(Record(kCommit).U64(uow).Finish()); }

void RecoveryLog::Backout(uint64_t uow) { Append(Record(kBackout).U64(uow).Finish()); }

bool RecoveryLog::Define(const Queue& q) {
  auto record = DefinitionRecord(q);
  if (!Append(record)) return false;
  catalog_[q.name] = std::move(record);
  return true;
}

bool RecoveryLog::Delete(std::string_view queue) {
  if (!Append(Record(kQueueDel).Str(queue).Finish())) return false;
  // Only a queue the definition file makes needs its deletion kept through checkpoints.
  if (from_file_.count(queue))
    catalog_[std::string(queue)] = std::nullopt;
  else
    catalog_.erase(std::string(queue));
  return true;
}

bool RecoveryLog::Clear(std::string_view queue) { return Append(Record(kClear).Str(queue).Finish()); }

void RecoveryLog::MakeDurable(QueueManager& qm) {
  if (fd_ < 0) return;
  if (end_ > std::max(kMinCheckpointBytes, 2 * checkpoint_bytes_)) {
    std::string error;
    if (Checkpoint(qm, error)) return;
    std::fprintf(stderr, "%s; the log goes on growing\n", error.c_str());
    // Try again after as much again has been written.
    checkpoint_bytes_ = end_ / 2;
  }
  if (!unsynced_) return;
  if (fdatasync(fd_) != 0) {
    std::fprintf(stderr, "recovery log %s: fdatasync failed: %s; the queue manager ends\n", path_.c_str(),
                 ErrorText(errno).c_str());
    _exit(1);
  }
  unsynced_ = false;
}

// The state of the queue manager as a new log: counters, run-time definitions, then every
// logged message with the units of work holding them. It is written beside the log, made
// durable and renamed over it, so that a crash leaves either the old log or the new one.
bool RecoveryLog::Checkpoint(QueueManager& qm, std::string& error) {
  const std::string fresh = path_ + ".new";
  const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = "recovery log " + fresh + ": " + ErrorText(errno);
    return false;
  }
  std::vector<uint8_t> buffer(kSignature, kSignature + sizeof kSignature);
  uint64_t offset = 0;
  bool ok = !fail_writes_;
  auto flush = [&] {
    ok = ok && WriteAll(fd, buffer.data(), buffer.size(), offset);
    offset += buffer.size();
    buffer.clear();
  };
  auto add = [&](const std::vector<uint8_t>& record) {
    buffer.insert(buffer.end(), record.begin(), record.end());
    if (buffer.size() >= kCheckpointBuffer) flush();
  };
  add(Record(kCounters).U64(next_id_).U64(next_uow_).Finish());
  for (const auto& [name, def] : catalog_) add(def ? *def : Record(kQueueDel).Str(name).Finish());
  for (const auto& entry : qm.queues()) {
    const Queue& q = entry.second;
    if (!Logged(q)) continue;
    q.messages.ForEach([&](const Message& m) {
      if (!ok || !m.log_id) return;
      const Session* putter = m.put_session ? qm.FindSession(m.put_session) : nullptr;
      add(PutRecord(q, m, putter ? putter->log_uow : 0));
      if (const Session* getter = m.get_session ? qm.FindSession(m.get_session) : nullptr)
        add(Record(kGet).U64(m.log_id).U64(getter->log_uow).Finish());
    });
  }
  flush();
  const int err = errno;
  if (!ok || fdatasync(fd) != 0 || rename(fresh.c_str(), path_.c_str()) != 0) {
    error = "recovery log " + fresh + ": cannot write a checkpoint: " + ErrorText(ok ? errno : err);
    close(fd);
    unlink(fresh.c_str());
    return false;
  }
  SyncDir(dir_);
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  end_ = offset;
  checkpoint_bytes_ = offset;
  unsynced_ = false;
  return true;
}

bool RecoveryLog::Start(QueueManager& qm, std::string& error) {
  if (Checkpoint(qm, error) || !valid_end_) return fd_ >= 0;
  // No room for a checkpoint (a full disk): go on appending to the log as it is, without
  // its torn end, and checkpoint once there is room.
  std::fprintf(stderr, "%s; appending to the log as it is\n", error.c_str());
  fd_ = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0 || ftruncate(fd_, static_cast<off_t>(valid_end_)) != 0) {
    error = "recovery log " + path_ + ": " + ErrorText(errno);
    return false;
  }
  end_ = valid_end_;
  checkpoint_bytes_ = end_ / 2;
  return true;
}

bool RecoveryLog::Recover(QueueManager& qm, std::string& error) {
  for (const auto& entry : qm.queues()) from_file_.insert(entry.first);
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    error = "recovery log " + path_ + ": " + ErrorText(errno);
    return false;
  }
  std::vector<uint8_t> log;
  struct stat st {};
  bool read_ok = fstat(fd, &st) == 0;
  if (read_ok) {
    log.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (read_ok && got < log.size()) {
      const ssize_t n = pread(fd, log.data() + got, log.size() - got, static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      read_ok = n > 0;
      if (n > 0) got += static_cast<size_t>(n);
    }
  }
  close(fd);
  if (!read_ok) {
    error = "recovery log " + path_ + ": cannot read: " + ErrorText(errno);
    return false;
  }
  auto damaged = [&](uint64_t offset, const std::string& why) {
    error = "recovery log " + path_ + " is damaged at offset " + std::to_string(offset) + " (" + why +
            "); the queue manager does not start and the log is left as it is";
    return false;
  };
  if (log.size() < sizeof kSignature) {
    if (log.empty()) return true;
    return damaged(0, "too short for its signature");
  }
  if (std::memcmp(log.data(), kSignature, sizeof kSignature) != 0) return damaged(0, "not a recovery log");

  std::map<uint64_t, Pending> pending;                   // by message id: the order of the puts
  std::map<uint64_t, std::vector<uint64_t>> units;      // unit of work -> message ids it touched
  auto end_unit = [&](uint64_t uow, bool commit) {
    auto u = units.find(uow);
    if (u == units.end()) return;
    for (uint64_t id : u->second) {
      auto p = pending.find(id);
      if (p == pending.end()) continue;
      Pending& m = p->second;
      if (m.put_uow == uow) {
        if (commit)
          m.put_uow = 0;
        else
          pending.erase(p);
      } else if (m.get_uow == uow) {
        if (commit) {
          pending.erase(p);
        } else {
          m.get_uow = 0;
          ++m.md.BackoutCount;
        }
      }
    }
    units.erase(u);
  };
  auto drop_queue = [&](const std::string& queue) {
    std::erase_if(pending, [&](const auto& e) { return e.second.queue == queue; });
  };

  size_t pos = sizeof kSignature;
  while (pos < log.size()) {
    const size_t left = log.size() - pos;
    uint32_t length = 0, crc = 0;
    if (left >= 8) {
      std::memcpy(&length, log.data() + pos, 4);
      std::memcpy(&crc, log.data() + pos + 4, 4);
    }
    const bool whole = left >= kHeader && length <= kMaxBody && length <= left - kHeader;
    if (!whole || Crc32(log.data() + pos + 8, length + 1) != crc) {
      // Only the last write can be torn: a record cut short by the end of the file, one
      // that ends exactly there, or a tail of zeros (space allocated, never written).
      const bool zeros = std::all_of(log.begin() + static_cast<std::ptrdiff_t>(pos), log.end(),
                                     [](uint8_t b) { return b == 0; });
      const bool at_end = !whole || pos + kHeader + length == log.size();
      if ((at_end && (length <= kMaxBody || left < kHeader)) || zeros) {
        std::fprintf(stderr, "recovery log %s: a torn record at offset %zu (its end) is left out\n", path_.c_str(), pos);
        break;
      }
      return damaged(pos, length > kMaxBody ? "record length out of range" : "checksum mismatch");
    }
    const uint8_t type = log[pos + 8];
    Body b(log.data() + pos + kHeader, length);
    switch (type) {
      case kCounters:
        next_id_ = std::max(next_id_, b.U64());
        next_uow_ = std::max(next_uow_, b.U64());
        break;
      case kQueueDef: {
        const std::string name = b.Str();
        const std::string date = b.Str();
        const std::string time = b.Str();
        QueueAttrs attrs;
        for (auto f : kIntFields) attrs.*f = b.I32();
        for (auto f : kTextFields) attrs.*f = b.Str();
        if (!b.done() || !ValidObjectName(name) || (attrs.type != MQQT_LOCAL && attrs.type != MQQT_MODEL))
          return damaged(pos, "bad queue definition");
        Queue* q = qm.FindQueue(name);
        if (q && q->attrs.type != attrs.type) {
          qm.Delete(name, true);
          q = nullptr;
        }
        if (!q) {
          qm.Define(name, attrs);
          q = qm.FindQueue(name);
        }
        q->attrs = attrs;
        q->creation_date = date;
        q->creation_time = time;
        catalog_[name] = std::vector<uint8_t>(log.begin() + static_cast<std::ptrdiff_t>(pos),
                                              log.begin() + static_cast<std::ptrdiff_t>(pos + kHeader + length));
        break;
      }
      case kQueueDel: {
        const std::string name = b.Str();
        if (!b.done()) return damaged(pos, "bad queue deletion");
        qm.Delete(name, true);
        drop_queue(name);
        if (from_file_.count(name))
          catalog_[name] = std::nullopt;
        else
          catalog_.erase(name);
        break;
      }
      case kPut: {
        Pending m;
        const uint64_t id = b.U64();
        m.put_uow = b.U64();
        m.queue = b.Str();
        m.expiry = b.I64();
        if (b.I32() != static_cast<int32_t>(sizeof(MQMD))) return damaged(pos, "descriptor of another size");
        b.Raw(&m.md, sizeof(MQMD));
        m.data = b.Rest();
        if (b.bad || !id || m.md.Priority < 0 || m.md.Priority > 9) return damaged(pos, "bad message record");
        next_id_ = std::max(next_id_, id + 1);
        if (m.put_uow) {
          units[m.put_uow].push_back(id);
          next_uow_ = std::max(next_uow_, m.put_uow + 1);
        }
        pending[id] = std::move(m);
        break;
      }
      case kGet: {
        const uint64_t id = b.U64();
        const uint64_t uow = b.U64();
        if (!b.done()) return damaged(pos, "bad get record");
        auto p = pending.find(id);
        if (p == pending.end()) break;
        if (!uow) {
          pending.erase(p);
        } else {
          p->second.get_uow = uow;
          units[uow].push_back(id);
          next_uow_ = std::max(next_uow_, uow + 1);
        }
        break;
      }
      case kCommit:
      case kBackout: {
        const uint64_t uow = b.U64();
        if (!b.done()) return damaged(pos, "bad unit-of-work record");
        end_unit(uow, type == kCommit);
        break;
      }
      case kClear: {
        const std::string name = b.Str();
        if (!b.done()) return damaged(pos, "bad clear record");
        drop_queue(name);
        break;
      }
      default:
        return damaged(pos, "unknown record type " + std::to_string(type));
    }
    pos += kHeader + length;
  }

  valid_end_ = pos;

  // Units of work in flight at the end are backed out, as IBM MQ does at restart.
  backed_out_ = units.size();
  while (!units.empty()) end_unit(units.begin()->first, false);

  const int64_t wall = WallMs();
  const int64_t steady = SteadyMs();
  for (auto& [id, p] : pending) {
    auto m = std::make_unique<Message>();
    m->md = p.md;
    m->data = std::move(p.data);
    m->log_id = id;
    if (p.expiry) m->expires_at = steady + std::max<int64_t>(1, p.expiry - wall);
    Queue* q = qm.FindQueue(p.queue);
    if (!q || q->attrs.type != MQQT_LOCAL) {
      q = qm.FindQueue(QueueManager::kDeadLetterQueue);
      std::fprintf(stderr, "recovery log: queue %s no longer exists; its message %s\n", p.queue.c_str(),
                   q ? "goes to the dead-letter queue" : "is dropped (no dead-letter queue)");
      if (!q) continue;
    }
    qm.Restore(*q, std::move(m));
    ++restored_;
  }
  return true;
}

}  // namespace vrqsim

// ---- The queue manager's side: what it logs and when ---------------------------------

namespace vrqsim {

bool QueueManager::LogPut(Session& s, const Queue& q, Message& m, bool syncpoint) {
  if (!log_ || m.md.Persistence != MQPER_PERSISTENT || !RecoveryLog::Logged(q)) return true;
  m.log_id = log_->NewMessageId();
  if (!log_->Put(q, m, syncpoint ? log_->UnitOfWork(s) : 0)) {
    m.log_id = 0;
    return false;
  }
  if (!syncpoint) log_->RequireDurable();
  return true;
}

bool QueueManager::LogGet(Session& s, const Message& m, bool syncpoint) {
  if (!log_ || !m.log_id) return true;
  if (!log_->Get(m.log_id, syncpoint ? log_->UnitOfWork(s) : 0)) return false;
  if (!syncpoint) log_->RequireDurable();
  return true;
}

void QueueManager::LogGenerated(const Queue& q, Message& m) {
  if (!log_ || m.md.Persistence != MQPER_PERSISTENT || !RecoveryLog::Logged(q)) return;
  m.log_id = log_->NewMessageId();
  if (log_->Put(q, m, 0))
    log_->RequireDurable();
  else
    m.log_id = 0;
}

void QueueManager::LogRemoval(const Message& m) {
  if (log_ && m.log_id) log_->Get(m.log_id, 0);
}

MQLONG QueueManager::StoreDefinition(const std::string& name, const QueueAttrs& attrs) {
  Queue* q = FindQueue(name);
  const bool existed = q != nullptr;
  QueueAttrs before;
  if (existed) {
    before = q->attrs;
    q->attrs = attrs;
  } else {
    Define(name, attrs);
    q = FindQueue(name);
  }
  if (!log_ || !RecoveryLog::Logged(*q)) return MQRC_NONE;
  if (!log_->Define(*q)) {
    if (existed)
      q->attrs = before;
    else
      queues_.erase(name);
    return MQRC_RESOURCE_PROBLEM;
  }
  log_->RequireDurable();
  return MQRC_NONE;
}

void QueueManager::Restore(Queue& q, std::unique_ptr<Message> m) {
  Enqueue(q, std::move(m));
  activity_ = true;
}

}  // namespace vrqsim
