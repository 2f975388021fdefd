// Helpers of the queue-manager library's tests: a temporary installation directory (for
// "mqqual.ini"), raw MQI calls for the test's own side of an exchange, trace capture, and
// the path and error-log listing calls as plain values.
#pragma once

#include <cmqc.h>
#include <cmqcfc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "standin_qm.h"
#include "vrqmqtx.h"
#include "vrqtest.h"

namespace mqtxtest {

using vrqtest::Install;

inline std::string Trimmed(const char* text, std::size_t n) {
  std::string s(text, strnlen(text, n));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// A connection of the test's own, disconnected at the end.
struct Conn {
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  MQLONG cc = 0, rc = 0;
  explicit Conn(const std::string& qm) {
    char name[MQ_Q_MGR_NAME_LENGTH + 1] = {};
    std::strncpy(name, qm.c_str(), MQ_Q_MGR_NAME_LENGTH);
    MQCONN(name, &h, &cc, &rc);
  }
  ~Conn() {
    if (h != MQHC_UNUSABLE_HCONN) MQDISC(&h, &cc, &rc);
  }
};

// Puts data to a queue with a one-shot put; returns the reason.
inline MQLONG Put(MQHCONN h, const std::string& queue, const std::string& data,
                  MQMD* descriptor = nullptr) {
  MQOD od = {MQOD_DEFAULT};
  std::strncpy(od.ObjectName, queue.c_str(), MQ_Q_NAME_LENGTH);
  MQMD md = {MQMD_DEFAULT};
  MQMD* mdp = descriptor != nullptr ? descriptor : &md;
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_NO_SYNCPOINT;
  MQLONG cc = 0, rc = 0;
  MQPUT1(h, &od, mdp, &pmo, static_cast<MQLONG>(data.size()), const_cast<char*>(data.data()),
         &cc, &rc);
  return rc;
}

// Gets one message (no wait) from a queue; returns the reason and fills data and md.
inline MQLONG Get(MQHCONN h, const std::string& queue, std::string* data, MQMD* md,
                  MQLONG wait = 0) {
  MQOD od = {MQOD_DEFAULT};
  std::strncpy(od.ObjectName, queue.c_str(), MQ_Q_NAME_LENGTH);
  MQHOBJ hobj = MQHO_UNUSABLE_HOBJ;
  MQLONG cc = 0, rc = 0;
  MQOPEN(h, &od, MQOO_INPUT_SHARED, &hobj, &cc, &rc);
  if (cc == MQCC_FAILED) return rc;
  *md = MQMD{MQMD_DEFAULT};
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Options = MQGMO_NO_SYNCPOINT | (wait != 0 ? MQGMO_WAIT : 0);
  gmo.WaitInterval = wait;
  std::vector<char> buf(100000);
  MQLONG len = 0;
  MQGET(h, hobj, md, &gmo, static_cast<MQLONG>(buf.size()), buf.data(), &len, &cc, &rc);
  if (cc != MQCC_FAILED) data->assign(buf.data(), static_cast<std::size_t>(len));
  MQLONG ccc = 0, crc = 0;
  MQCLOSE(h, &hobj, MQCO_NONE, &ccc, &crc);
  return rc;
}

// Depth of a queue, -1 when it cannot be had.
inline MQLONG Depth(MQHCONN h, const std::string& queue) {
  MQLONG depth = -1, reason = 0;
  if (qqGetIntAttr(h, queue.c_str(), MQIA_CURRENT_Q_DEPTH, &depth, &reason) == 0) return -1;
  return depth;
}

// Trace lines recorded by the queue and manager hooks.
inline std::vector<std::string>& Traces() {
  static std::vector<std::string> lines;
  return lines;
}
inline void RecordQueue(const char* text, MQueue*) { Traces().push_back(std::string("Q ") + text); }
inline void RecordManager(const char* text, MQManager*) {
  Traces().push_back(std::string("M ") + text);
}

// RelPathToAbs and AbsPathToRel as strings, "<refused>" when the call refuses.
inline std::string Abs(const std::string& path, const char* base) {
  char buffer[VRQ_PL_PATH_SIZE];
  std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
  return RelPathToAbs(buffer, base) == 1 ? buffer : "<refused>";
}

inline std::string Rel(const char* path, const char* base) {
  char out[VRQ_PL_PATH_SIZE];
  return AbsPathToRel(path, base, out) == 1 ? out : "<refused>";
}

using Listing = std::vector<std::pair<std::string, int>>;

// GetErrorLogNames as sorted (name, modification time) pairs; *rc = its result.
inline Listing ErrorLogs(const std::string& directory, int filter, int* rc = nullptr) {
  MESSAGE names{}, stamps{};
  CreatePcfStrListAttr(&names, MQCACF_Q_NAMES, 0, 64);
  CreatePcfIntListAttr(&stamps, MQIACF_Q_ATTRS, 0);
  const int result = GetErrorLogNames(directory.c_str(), filter, &names, &stamps);
  if (rc != nullptr) *rc = result;
  Listing found;
  for (int i = 0; i < reinterpret_cast<MQCFSL*>(names.pData)->Count; ++i) {
    char name[65];
    int t = 0;
    GetPcfStrListAttrValue(&names, i, name, 64);
    GetPcfIntListAttrValue(&stamps, i, &t);
    found.emplace_back(mqtxtest::Trimmed(name, sizeof name), t);
  }
  DeleteMessage(&names);
  DeleteMessage(&stamps);
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace mqtxtest
