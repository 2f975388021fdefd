// Asynchronous consumption: MQCB registers message consumers (one per object handle) and
// an event handler; MQCTL starts, suspends, resumes and stops their delivery. Delivery
// runs on a thread of the library (MQOP_START) or on the caller's thread
// (MQOP_START_WAIT): it takes turns among the consumers, each turn a get that waits at
// most a short slice, so that other threads' calls on a shared handle are never held up
// for long and a stop takes effect promptly. Callbacks run without any lock held, so they
// may call any MQI verb, MQCTL and MQCB included.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <optional>

#include <cmqc.h>

#include "connection.h"

namespace vrqsim::client {

using CallbackFn = void (*)(MQHCONN, PMQVOID, PMQVOID, PMQVOID, PMQCBC);

namespace {

constexpr int64_t kSliceMs = 50;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

struct Consumer {
  MQCBD cbd{};
  MQMD md{};           // as registered (version 2)
  MQLONG md_version = MQMD_VERSION_2;
  MQGMO gmo{};         // as registered (version 4)
  MQLONG gmo_version = MQGMO_VERSION_4;
  bool suspended = false;
  int64_t deadline = 0;  // when a finite wait interval runs out without a message
};

struct Dispatcher {
  enum class State { Stopped, Started, Suspended };
  std::mutex mu;
  std::condition_variable cv;
  std::map<MQHOBJ, Consumer> consumers;
  std::optional<MQCBD> event_handler;
  State state = State::Stopped;
  bool stop = false;            // asks the delivery loop to end
  bool running = false;         // a delivery loop is active
  std::thread thread;
  std::thread::id runner;       // the thread delivering
  MQPTR connection_area = nullptr;
  MQHOBJ last = 0;              // the consumer whose turn was last
};

namespace {

std::shared_ptr<Dispatcher> DispatcherOf(Connection& c, bool create) {
  std::lock_guard lock(c.state_mu);
  if (!c.async && create) c.async = std::make_shared<Dispatcher>();
  return c.async;
}

void Invoke(const MQCBD& cbd, MQHCONN hconn, MQHOBJ hobj, MQLONG call_type, MQLONG cc, MQLONG rc, MQPTR area,
            MQLONG state, void* md = nullptr, void* gmo = nullptr, void* buffer = nullptr, MQLONG data_length = 0,
            MQLONG buffer_length = 0) {
  MQCBC cbc{};
  std::memcpy(cbc.StrucId, MQCBC_STRUC_ID, 4);
  cbc.Version = MQCBC_VERSION_2;
  cbc.ReconnectDelay = MQRD_NO_RECONNECT;
  cbc.CallType = call_type;
  cbc.Hobj = hobj;
  cbc.CallbackArea = cbd.CallbackArea;
  cbc.ConnectionArea = area;
  cbc.CompCode = cc;
  cbc.Reason = rc;
  cbc.State = state;
  cbc.DataLength = data_length;
  cbc.BufferLength = buffer_length;
  reinterpret_cast<CallbackFn>(cbd.CallbackFunction)(hconn, md, gmo, buffer, &cbc);
}

// Picks the next consumer whose turn it is; false when none is resumed.
bool NextConsumer(Dispatcher& d, MQHOBJ& hobj, Consumer& copy) {
  auto pick = [&](auto begin, auto end) {
    for (auto it = begin; it != end; ++it)
      if (!it->second.suspended) {
        hobj = it->first;
        copy = it->second;
        return true;
      }
    return false;
  };
  if (pick(d.consumers.upper_bound(d.last), d.consumers.end()) || pick(d.consumers.begin(), d.consumers.end())) {
    d.last = hobj;
    return true;
  }
  return false;
}

// Delivers until stopped, the connection breaks, or (START_WAIT) no consumer is left.
// Returns the reason the loop ended.
MQLONG Deliver(std::shared_ptr<Connection> c, std::shared_ptr<Dispatcher> d, bool wait_mode) {
  std::vector<uint8_t> buffer;
  MQLONG ended = MQRC_NONE;
  for (;;) {
    MQHOBJ hobj = 0;
    Consumer consumer;
    {
      std::unique_lock lock(d->mu);
      if (d->stop) break;
      if (d->state == Dispatcher::State::Suspended) {
        d->cv.wait_for(lock, std::chrono::milliseconds(kSliceMs * 4));
        continue;
      }
      if (!NextConsumer(*d, hobj, consumer)) {
        if (wait_mode) {
          ended = MQRC_NO_CALLBACKS_ACTIVE;
          break;
        }
        d->cv.wait_for(lock, std::chrono::milliseconds(kSliceMs * 4));
        continue;
      }
    }
    MQMD md = consumer.md;
    md.Version = consumer.md_version;
    MQGMO gmo = consumer.gmo;
    gmo.Version = consumer.gmo_version;
    const bool finite = (consumer.gmo.Options & MQGMO_WAIT) && consumer.gmo.WaitInterval != MQWI_UNLIMITED;
    gmo.Options |= MQGMO_WAIT;
    gmo.WaitInterval = static_cast<MQLONG>(kSliceMs);
    const MQLONG max_length = consumer.cbd.MaxMsgLength == MQCBD_FULL_MSG_LENGTH ? static_cast<MQLONG>(kMaxMsgLength)
                                                                                 : consumer.cbd.MaxMsgLength;
    if (buffer.size() < static_cast<size_t>(max_length) + 1) buffer.resize(static_cast<size_t>(max_length) + 1);
    MQLONG data_length = 0, cc = MQCC_OK, rc = MQRC_NONE;
    DoGet(*c, hobj, &md, &gmo, max_length, buffer.data(), &data_length, &cc, &rc);
    gmo.Options = consumer.gmo.Options;
    gmo.WaitInterval = consumer.gmo.WaitInterval;
    // The callback's structures are full-size whatever version was registered, and say
    // how much of the message the buffer holds.
    gmo.ReturnedLength = cc == MQCC_FAILED && rc != MQRC_TRUNCATED_MSG_FAILED ? 0 : std::min(data_length, max_length);
    if (rc == MQRC_CONNECTION_BROKEN) {
      ended = rc;
      break;
    }
    if (rc == MQRC_NO_MSG_AVAILABLE) {
      if (!finite) continue;
      const int64_t now = NowMs();
      bool due = false;
      {
        std::lock_guard lock(d->mu);
        auto it = d->consumers.find(hobj);
        if (it == d->consumers.end()) continue;
        if (!it->second.deadline) it->second.deadline = now + consumer.gmo.WaitInterval;
        if (now >= it->second.deadline) {
          it->second.deadline = 0;
          due = true;
        }
      }
      if (due) Invoke(consumer.cbd, c->hconn, hobj, MQCBCT_EVENT_CALL, MQCC_FAILED, rc, d->connection_area, MQCS_NONE);
      continue;
    }
    {
      std::lock_guard lock(d->mu);
      auto it = d->consumers.find(hobj);
      if (it != d->consumers.end()) it->second.deadline = 0;
    }
    const bool browse = gmo.Options & (MQGMO_BROWSE_FIRST | MQGMO_BROWSE_NEXT | MQGMO_BROWSE_MSG_UNDER_CURSOR);
    const bool removed = cc != MQCC_FAILED && !browse && rc != MQRC_TRUNCATED_MSG_FAILED;
    if (cc == MQCC_FAILED && rc != MQRC_TRUNCATED_MSG_FAILED) {
      // A failure of this consumer's get (get inhibited, queue deleted, ...): it is told, and
      // suspended so that it is not told again on every turn.
      {
        std::lock_guard lock(d->mu);
        auto it = d->consumers.find(hobj);
        if (it != d->consumers.end()) it->second.suspended = true;
      }
      Invoke(consumer.cbd, c->hconn, hobj, MQCBCT_MSG_NOT_REMOVED, cc, rc, d->connection_area, MQCS_SUSPENDED, &md,
             &gmo, buffer.data(), 0, max_length);
      continue;
    }
    Invoke(consumer.cbd, c->hconn, hobj, removed ? MQCBCT_MSG_REMOVED : MQCBCT_MSG_NOT_REMOVED, cc, rc,
           d->connection_area, MQCS_NONE, &md, &gmo, buffer.data(), data_length, max_length);
  }
  std::optional<MQCBD> handler;
  std::vector<std::pair<MQHOBJ, MQCBD>> to_tell;
  {
    std::lock_guard lock(d->mu);
    handler = d->event_handler;
    for (const auto& [hobj, consumer] : d->consumers) to_tell.emplace_back(hobj, consumer.cbd);
    d->state = Dispatcher::State::Stopped;
    d->running = false;
    d->stop = false;
    d->runner = {};
  }
  d->cv.notify_all();
  if (ended == MQRC_CONNECTION_BROKEN) {
    if (handler)
      Invoke(*handler, c->hconn, MQHO_NONE, MQCBCT_EVENT_CALL, MQCC_FAILED, ended, nullptr, MQCS_STOPPED);
    else
      for (const auto& [hobj, cbd] : to_tell)
        Invoke(cbd, c->hconn, hobj, MQCBCT_EVENT_CALL, MQCC_FAILED, ended, nullptr, MQCS_STOPPED);
  }
  for (const auto& [hobj, cbd] : to_tell)
    if (cbd.Options & MQCBDO_STOP_CALL)
      Invoke(cbd, c->hconn, hobj, MQCBCT_STOP_CALL, MQCC_OK, ended == MQRC_NO_CALLBACKS_ACTIVE ? MQRC_NONE : ended,
             nullptr, MQCS_STOPPED);
  return ended;
}

void StartCalls(Connection& c, Dispatcher& d) {
  std::vector<std::pair<MQHOBJ, MQCBD>> to_tell;
  {
    std::lock_guard lock(d.mu);
    for (const auto& [hobj, consumer] : d.consumers)
      if (consumer.cbd.Options & MQCBDO_START_CALL) to_tell.emplace_back(hobj, consumer.cbd);
  }
  for (const auto& [hobj, cbd] : to_tell)
    Invoke(cbd, c.hconn, hobj, MQCBCT_START_CALL, MQCC_OK, MQRC_NONE, d.connection_area, MQCS_NONE);
}

}  // namespace

bool OnDispatcherThread(Connection& c) {
  auto d = DispatcherOf(c, false);
  if (!d) return false;
  std::lock_guard lock(d->mu);
  return d->running && d->runner == std::this_thread::get_id();
}

void ForgetConsumer(Connection& c, MQHOBJ hobj) {
  auto d = DispatcherOf(c, false);
  if (!d) return;
  std::optional<MQCBD> cbd;
  {
    std::lock_guard lock(d->mu);
    auto it = d->consumers.find(hobj);
    if (it == d->consumers.end()) return;
    cbd = it->second.cbd;
    d->consumers.erase(it);
  }
  if (cbd->Options & MQCBDO_DEREGISTER_CALL)
    Invoke(*cbd, c.hconn, MQHO_UNUSABLE_HOBJ, MQCBCT_DEREGISTER_CALL, MQCC_OK, MQRC_NONE, d->connection_area, MQCS_NONE);
}

void StopDispatcher(Connection& c) {
  auto d = DispatcherOf(c, false);
  if (!d) return;
  std::thread thread;
  {
    std::unique_lock lock(d->mu);
    if (d->running) d->stop = true;
    d->cv.notify_all();
    if (d->runner != std::this_thread::get_id()) {
      d->cv.wait(lock, [&] { return !d->running; });
      thread = std::move(d->thread);
    } else if (d->thread.joinable()) {
      d->thread.detach();   // the delivering thread itself ends the connection
    }
  }
  if (thread.joinable()) thread.join();
  std::vector<std::pair<MQHOBJ, MQCBD>> all;
  {
    std::lock_guard lock(d->mu);
    for (const auto& [hobj, consumer] : d->consumers) all.emplace_back(hobj, consumer.cbd);
    if (d->event_handler) all.emplace_back(MQHO_NONE, *d->event_handler);
    d->consumers.clear();
    d->event_handler.reset();
  }
  for (const auto& [hobj, cbd] : all)
    if (cbd.Options & MQCBDO_DEREGISTER_CALL)
      Invoke(cbd, c.hconn, hobj, MQCBCT_DEREGISTER_CALL, MQCC_OK, MQRC_NONE, d->connection_area, MQCS_STOPPED);
}

}  // namespace vrqsim::client

using namespace vrqsim;
using namespace vrqsim::client;

MQI_EXPORT void MQCB(MQHCONN Hconn, MQLONG Operation, PMQVOID pCallbackDesc, MQHOBJ Hobj, PMQVOID pMsgDesc,
                     PMQVOID pGetMsgOpts, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  const MQLONG base = Operation & ~(MQOP_SUSPEND | MQOP_RESUME);
  const MQLONG pause = Operation & (MQOP_SUSPEND | MQOP_RESUME);
  if ((base != MQOP_REGISTER && base != MQOP_DEREGISTER && base != 0) || pause == (MQOP_SUSPEND | MQOP_RESUME) ||
      (base == MQOP_DEREGISTER && pause) || Operation == 0)
    return (void)Fail(pCompCode, pReason, MQRC_OPERATION_ERROR);
  auto d = DispatcherOf(*c, true);
  const auto* cbd = static_cast<const MQCBD*>(pCallbackDesc);
  const bool event_handler = cbd && base == MQOP_REGISTER && cbd->CallbackType == MQCBT_EVENT_HANDLER;
  if (base == MQOP_REGISTER) {
    if (!cbd || !StrucIs(cbd->StrucId, MQCBD_STRUC_ID) || cbd->Version != MQCBD_VERSION_1)
      return (void)Fail(pCompCode, pReason, MQRC_CBD_ERROR);
    if (cbd->CallbackType != MQCBT_MESSAGE_CONSUMER && cbd->CallbackType != MQCBT_EVENT_HANDLER)
      return (void)Fail(pCompCode, pReason, MQRC_CALLBACK_TYPE_ERROR);
    constexpr MQLONG kCbdOptions = MQCBDO_START_CALL | MQCBDO_STOP_CALL | MQCBDO_REGISTER_CALL |
                                   MQCBDO_DEREGISTER_CALL | MQCBDO_FAIL_IF_QUIESCING | MQCBDO_EVENT_CALL |
                                   MQCBDO_MC_EVENT_CALL;
    if (cbd->Options & ~kCbdOptions) return (void)Fail(pCompCode, pReason, MQRC_OPTIONS_ERROR);
    if (!cbd->CallbackFunction) {
      // Functions named for dynamic loading (CallbackName) are not loaded by the stand-in.
      const bool named = std::any_of(cbd->CallbackName, cbd->CallbackName + sizeof cbd->CallbackName,
                                     [](char ch) { return ch != ' ' && ch != '\0'; });
      return (void)Fail(pCompCode, pReason, named ? MQRC_FUNCTION_NOT_SUPPORTED : MQRC_CALLBACK_ROUTINE_ERROR);
    }
    if (!event_handler && cbd->MaxMsgLength != MQCBD_FULL_MSG_LENGTH &&
        (cbd->MaxMsgLength < 0 || cbd->MaxMsgLength > static_cast<MQLONG>(kMaxMsgLength)))
      return (void)Fail(pCompCode, pReason, MQRC_MAX_MSG_LENGTH_ERROR);
  }
  if (event_handler) {
    {
      std::lock_guard lock(d->mu);
      d->event_handler = *cbd;
    }
    if (cbd->Options & MQCBDO_REGISTER_CALL)
      Invoke(*cbd, Hconn, MQHO_NONE, MQCBCT_REGISTER_CALL, MQCC_OK, MQRC_NONE, d->connection_area, MQCS_NONE);
    return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
  }
  if (base == MQOP_REGISTER) {
    Consumer consumer;
    consumer.cbd = *cbd;
    if (!pMsgDesc) {
      consumer.md = {MQMD_DEFAULT};
    } else {
      const auto* md = static_cast<const MQMD*>(pMsgDesc);
      if (!StrucIs(md->StrucId, MQMD_STRUC_ID) || md->Version < MQMD_VERSION_1 || md->Version > MQMD_VERSION_2)
        return (void)Fail(pCompCode, pReason, MQRC_MD_ERROR);
      consumer.md = {MQMD_DEFAULT};
      std::memcpy(&consumer.md, md, md->Version == MQMD_VERSION_1 ? MQMD_LENGTH_1 : sizeof(MQMD));
      consumer.md_version = md->Version;
    }
    consumer.gmo = {MQGMO_DEFAULT};
    if (pGetMsgOpts) {
      const auto* gmo = static_cast<const MQGMO*>(pGetMsgOpts);
      if (!StrucIs(gmo->StrucId, MQGMO_STRUC_ID) || gmo->Version < MQGMO_VERSION_1 || gmo->Version > MQGMO_VERSION_4)
        return (void)Fail(pCompCode, pReason, MQRC_GMO_ERROR);
      const size_t length[] = {0, MQGMO_LENGTH_1, MQGMO_LENGTH_2, MQGMO_LENGTH_3, MQGMO_LENGTH_4};
      std::memcpy(&consumer.gmo, gmo, length[gmo->Version]);
      consumer.gmo_version = gmo->Version;
      if (gmo->Options & MQGMO_SET_SIGNAL) return (void)Fail(pCompCode, pReason, MQRC_OPTIONS_ERROR);
      if ((gmo->Options & MQGMO_WAIT) && gmo->WaitInterval < 0 && gmo->WaitInterval != MQWI_UNLIMITED)
        return (void)Fail(pCompCode, pReason, MQRC_WAIT_INTERVAL_ERROR);
    }
    {
      std::lock_guard lock(c->state_mu);
      if (!c->queues.count(Hobj)) return (void)Fail(pCompCode, pReason, MQRC_HOBJ_ERROR);
    }
    consumer.suspended = pause == MQOP_SUSPEND;
    {
      std::lock_guard lock(d->mu);
      d->consumers[Hobj] = consumer;
    }
    d->cv.notify_all();
    if (cbd->Options & MQCBDO_REGISTER_CALL)
      Invoke(*cbd, Hconn, Hobj, MQCBCT_REGISTER_CALL, MQCC_OK, MQRC_NONE, d->connection_area, MQCS_NONE);
    return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
  }
  if (base == MQOP_DEREGISTER) {
    {
      std::lock_guard lock(d->mu);
      if (!d->consumers.count(Hobj) && !(Hobj == MQHO_NONE && d->event_handler))
        return (void)Fail(pCompCode, pReason, MQRC_CALLBACK_NOT_REGISTERED);
      if (Hobj == MQHO_NONE && !d->consumers.count(Hobj)) {
        d->event_handler.reset();
        return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
      }
    }
    ForgetConsumer(*c, Hobj);
    return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
  }
  // Suspend or resume one consumer.
  {
    std::lock_guard lock(d->mu);
    auto it = d->consumers.find(Hobj);
    if (it == d->consumers.end()) return (void)Fail(pCompCode, pReason, MQRC_CALLBACK_NOT_REGISTERED);
    it->second.suspended = pause == MQOP_SUSPEND;
  }
  d->cv.notify_all();
  Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

MQI_EXPORT void MQCTL(MQHCONN Hconn, MQLONG Operation, PMQVOID pControlOpts, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  if (Operation != MQOP_START && Operation != MQOP_START_WAIT && Operation != MQOP_STOP &&
      Operation != MQOP_SUSPEND && Operation != MQOP_RESUME)
    return (void)Fail(pCompCode, pReason, MQRC_OPERATION_ERROR);
  const auto* ctlo = static_cast<const MQCTLO*>(pControlOpts);
  if (!ctlo || !StrucIs(ctlo->StrucId, MQCTLO_STRUC_ID) || ctlo->Version != MQCTLO_VERSION_1)
    return (void)Fail(pCompCode, pReason, MQRC_CTLO_ERROR);
  if (ctlo->Options & ~(MQCTLO_THREAD_AFFINITY | MQCTLO_FAIL_IF_QUIESCING))
    return (void)Fail(pCompCode, pReason, MQRC_OPTIONS_ERROR);
  auto d = DispatcherOf(*c, true);
  std::unique_lock lock(d->mu);
  const bool inside = d->running && d->runner == std::this_thread::get_id();
  switch (Operation) {
    case MQOP_START:
    case MQOP_START_WAIT: {
      if (d->running) return (void)Fail(pCompCode, pReason, inside ? MQRC_ENVIRONMENT_ERROR : MQRC_HCONN_ASYNC_ACTIVE);
      if (d->consumers.empty() && !d->event_handler) return (void)Fail(pCompCode, pReason, MQRC_NO_CALLBACKS_ACTIVE);
      if (d->thread.joinable()) d->thread.join();   // a loop that ended by itself
      d->running = true;
      d->stop = false;
      d->state = Dispatcher::State::Started;
      d->connection_area = ctlo->ConnectionArea;
      if (Operation == MQOP_START) {
        try {
          d->thread = std::thread([c, d] {
            {
              std::lock_guard inner(d->mu);
              d->runner = std::this_thread::get_id();
            }
            StartCalls(*c, *d);
            Deliver(c, d, false);
          });
        } catch (...) {
          d->running = false;
          d->state = Dispatcher::State::Stopped;
          return (void)Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
        }
        return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
      }
      d->runner = std::this_thread::get_id();
      lock.unlock();
      StartCalls(*c, *d);
      const MQLONG ended = Deliver(c, d, true);
      if (ended == MQRC_NONE) return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
      return (void)Fail(pCompCode, pReason, ended);
    }
    case MQOP_STOP: {
      if (!d->running) return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
      d->stop = true;
      d->cv.notify_all();
      if (inside) return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);   // ends when the callback returns
      d->cv.wait(lock, [&] { return !d->running; });
      std::thread thread = std::move(d->thread);
      lock.unlock();
      if (thread.joinable()) thread.join();
      return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
    }
    case MQOP_SUSPEND:
      if (!d->running) return (void)Fail(pCompCode, pReason, MQRC_OPERATION_NOT_ALLOWED);
      d->state = Dispatcher::State::Suspended;
      return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
    default:  // MQOP_RESUME
      if (!d->running) return (void)Fail(pCompCode, pReason, MQRC_OPERATION_NOT_ALLOWED);
      d->state = Dispatcher::State::Started;
      d->cv.notify_all();
      return (void)Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
  }
}
