// Small MQI wrappers shared by the stand-in queue manager's tests: a connection that
// disconnects on destruction, and open/put/get calls that return the reason code.
#pragma once

#include <cmqc.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "standin_qm.h"

namespace mqitest {

// Sets an environment variable for the scope and restores the previous state.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

struct Result {
  MQLONG cc = -1;
  MQLONG rc = -1;
};

class Connection {
 public:
  explicit Connection(const std::string& qm = "") {
    std::string name = qm;
    name.resize(48, '\0');
    MQCONN(name.data(), &hconn, &r.cc, &r.rc);
  }
  ~Connection() {
    if (hconn != MQHC_UNUSABLE_HCONN) {
      MQLONG cc, rc;
      MQDISC(&hconn, &cc, &rc);
    }
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  MQHCONN hconn = MQHC_UNUSABLE_HCONN;
  Result r;
};

inline MQOD QueueOd(const std::string& name) {
  MQOD od = {MQOD_DEFAULT};
  std::strncpy(od.ObjectName, name.c_str(), sizeof od.ObjectName);
  return od;
}

inline Result Open(MQHCONN h, MQOD& od, MQLONG options, MQHOBJ& hobj) {
  Result r;
  MQOPEN(h, &od, options, &hobj, &r.cc, &r.rc);
  return r;
}

inline Result Open(MQHCONN h, const std::string& name, MQLONG options, MQHOBJ& hobj) {
  MQOD od = QueueOd(name);
  return Open(h, od, options, hobj);
}

inline Result Close(MQHCONN h, MQHOBJ& hobj, MQLONG options = MQCO_NONE) {
  Result r;
  MQCLOSE(h, &hobj, options, &r.cc, &r.rc);
  return r;
}

inline Result Put(MQHCONN h, MQHOBJ hobj, MQMD& md, const std::string& data, MQLONG options = MQPMO_NO_SYNCPOINT) {
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = options;
  Result r;
  MQPUT(h, hobj, &md, &pmo, static_cast<MQLONG>(data.size()), const_cast<char*>(data.data()), &r.cc, &r.rc);
  return r;
}

inline Result Put(MQHCONN h, MQHOBJ hobj, const std::string& data, MQLONG options = MQPMO_NO_SYNCPOINT) {
  MQMD md = {MQMD_DEFAULT};
  return Put(h, hobj, md, data, options);
}

inline Result Put1(MQHCONN h, const std::string& queue, MQMD& md, const std::string& data,
                   MQLONG options = MQPMO_NO_SYNCPOINT) {
  MQOD od = QueueOd(queue);
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = options;
  Result r;
  MQPUT1(h, &od, &md, &pmo, static_cast<MQLONG>(data.size()), const_cast<char*>(data.data()), &r.cc, &r.rc);
  return r;
}

struct Got {
  Result r;
  MQMD md = {MQMD_DEFAULT};
  MQLONG length = -1;
  std::string data;
};

// MQGET with a version-1 MQGMO unless gmo is given; md selects by its identifiers.
inline Got Get(MQHCONN h, MQHOBJ hobj, MQLONG options = MQGMO_NO_SYNCPOINT, MQLONG wait = 0,
               MQLONG buffer = 4096, const MQMD* select = nullptr, MQGMO* gmo_in = nullptr) {
  Got g;
  if (select) g.md = *select;
  MQGMO gmo = {MQGMO_DEFAULT};
  if (gmo_in) gmo = *gmo_in;
  gmo.Options = options;
  gmo.WaitInterval = wait;
  std::string buf(static_cast<size_t>(buffer), '\0');
  MQGET(h, hobj, &g.md, &gmo, buffer, buf.data(), &g.length, &g.r.cc, &g.r.rc);
  if (g.r.cc != MQCC_FAILED) g.data = buf.substr(0, static_cast<size_t>(std::min(buffer, g.length)));
  return g;
}

inline std::string Field(const char* p, size_t n) {
  std::string s(p, strnlen(p, n));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

template <size_t N>
std::string Field(const char (&f)[N]) { return Field(f, N); }

inline MQLONG Depth(MQHCONN h, const std::string& queue) {
  MQHOBJ o;
  if (Open(h, queue, MQOO_INQUIRE, o).cc != MQCC_OK) return -1;
  MQLONG sel = MQIA_CURRENT_Q_DEPTH, depth = -1, cc, rc;
  MQINQ(h, o, 1, &sel, 1, &depth, 0, nullptr, &cc, &rc);
  Close(h, o);
  return depth;
}

}  // namespace mqitest
