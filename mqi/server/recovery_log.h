// The recovery log of a queue manager: the file recovery.log in its folder, which keeps
// persistent messages, their gets under syncpoint, commits and backouts, and the queue
// definitions changed at run time, so that a restart (after a stop or a crash) finds
// everything committed as it was. A record is written before the change it describes is
// made in memory; a call whose work must survive a crash (a commit, a persistent put or
// get outside syncpoint, a definition) gets its reply only once the log is on disk, and
// the replies of every call served in one turn of the server loop share one fdatasync
// (group commit). When the log has grown to twice what the queues held at its start, a
// checkpoint writes the queue manager's state as a fresh log and the old one goes.
//
// Layout: an 8-byte signature, then records of { u32 length, u32 crc32, u8 type, body }.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vrqsim {

class QueueManager;
struct Message;
struct Queue;
struct Session;

class RecoveryLog {
 public:
  // The log of the queue manager whose folder is dir.
  explicit RecoveryLog(std::string dir);
  ~RecoveryLog();
  RecoveryLog(const RecoveryLog&) = delete;
  RecoveryLog& operator=(const RecoveryLog&) = delete;

  const std::string& path() const { return path_; }

  // Reads the log into qm (whose definition file has been carried out): run-time
  // definitions, committed persistent messages in their order, units of work in flight
  // backed out (their gets with BackoutCount raised). A torn record at the end is ignored;
  // other damage returns false with the file and offset in error. Writes nothing.
  bool Recover(QueueManager& qm, std::string& error);
  // Takes the log for this process alone (false when another process holds it); then
  // Recover and Start.
  bool Lock(std::string& error);
  // Writes qm's state as a fresh log (dropping a torn end) and keeps it open for appending.
  bool Start(QueueManager& qm, std::string& error);
  // What Recover found: messages restored, units of work backed out.
  size_t restored() const { return restored_; }
  size_t backed_out() const { return backed_out_; }

  // Records. Each returns false, having written nothing, when the log cannot be written.
  uint64_t NewMessageId() { return next_id_++; }
  uint64_t UnitOfWork(Session& s);
  bool Put(const Queue& q, const Message& m, uint64_t uow);
  bool Get(uint64_t id, uint64_t uow);
  bool Commit(uint64_t uow);
  void Backout(uint64_t uow);   // optional: a unit of work left open is backed out at restart
  bool Define(const Queue& q);
  bool Delete(std::string_view queue);
  bool Clear(std::string_view queue);

  // The server marks the start of each client's calls; HoldsReply() then says whether
  // their reply must wait for the log to be on disk.
  void BeginCall() { hold_ = false; }
  bool HoldsReply() const { return hold_; }
  // The call in progress may be answered only once the log is on disk.
  void RequireDurable() { unsynced_ = hold_ = true; }
  // The call returns a logged message: its reply waits for what is not yet on disk (the
  // commit that made it visible, say).
  void ReadsLogged() { hold_ = hold_ || unsynced_; }
  // Before replies go out: a checkpoint when one is due, else one fdatasync for everything
  // written since the last. A failing fdatasync ends the process: the disk may have lost
  // what callers would be told is safe.
  void MakeDurable(QueueManager& qm);

  // Fault injection for tests: every write fails as on a full disk.
  void FailWrites(bool on) { fail_writes_ = on; }

  // True for queues whose definitions and persistent messages are logged: not temporary
  // dynamic queues nor the managed queues of subscriptions, which end with the process.
  static bool Logged(const Queue& q);

 private:
  bool Append(const std::vector<uint8_t>& record);
  bool Checkpoint(QueueManager& qm, std::string& error);
  void Failed(const std::string& what, int err);

  std::string dir_;
  std::string path_;
  int fd_ = -1;
  int lock_fd_ = -1;
  uint64_t end_ = 0;              // where the next record goes
  uint64_t valid_end_ = 0;        // end of the last whole record Recover read
  uint64_t checkpoint_bytes_ = 0; // size of the last checkpoint
  uint64_t next_id_ = 1;
  uint64_t next_uow_ = 1;
  bool unsynced_ = false;         // records written since the last fdatasync must be durable
  bool hold_ = false;             // the reply to the call in progress waits for fdatasync
  bool fail_writes_ = false;
  bool failing_ = false;          // the last write failed (reported once until one succeeds)
  size_t restored_ = 0;
  size_t backed_out_ = 0;
  std::set<std::string, std::less<>> from_file_;   // queues the definition file makes
  // Run-time definitions by queue name: the QDEF record, or none for a deleted queue.
  std::map<std::string, std::optional<std::vector<uint8_t>>, std::less<>> catalog_;
};

}  // namespace vrqsim
