// The requests and replies of the stand-in's wire protocol, one record per MQI call, with
// their encoding and strict decoding (a payload must be exactly one well-formed record).
// The client library and the server share these, so the two ends cannot drift apart.
#pragma once

#include <cmqc.h>

#include <string>
#include <vector>

#include "rfh2.h"
#include "wire.h"

namespace vrqsim {

inline constexpr size_t kMaxSelectors = 256;

struct ConnRequest {
  std::string appl_name;   // PutApplName stamp, at most 28 characters
  std::string user;        // UserIdentifier stamp, at most 12 characters
  std::string qmgr;        // queue manager asked for (blank: whichever serves this socket)
};
struct OpenRequest {
  ObjectRef od{};
  MQLONG options = 0;
};
struct CloseRequest {
  MQHOBJ hobj = 0;
  MQLONG options = 0;
};
struct PutRequest {        // MQPUT (hobj) and MQPUT1 (od)
  MQHOBJ hobj = 0;
  ObjectRef od{};
  MQMD md{};
  MQLONG options = 0;
  MQHOBJ context = 0;
  std::vector<uint8_t> data;
};
struct GetRequest {
  MQHOBJ hobj = 0;
  MQMD md{};
  MQLONG options = 0;
  MQLONG wait = 0;         // milliseconds; MQWI_UNLIMITED waits for ever
  MQLONG match = 0;        // MQMO_ options
  MQLONG buffer_length = 0;
  MQLONG properties = 0;   // nonzero: a message handle takes the MQRFH2 properties
};
struct InqRequest {
  MQHOBJ hobj = 0;
  std::vector<MQLONG> selectors;
  MQLONG int_count = 0;
  MQLONG char_length = 0;
};
struct SetRequest {
  MQHOBJ hobj = 0;
  std::vector<MQLONG> selectors;
  std::vector<MQLONG> ints;
  std::string chars;
};
struct AdminRequest {
  std::string command;     // "stop", "cmdserver stop", "put-inhibit Q", ...
};

struct NoArguments {};     // MQDISC, MQCMIT, MQBACK

struct StatusReply {
  MQLONG cc = MQCC_OK;
  MQLONG rc = MQRC_NONE;
};
struct ConnReply : StatusReply {
  std::string qmgr;
};
struct OpenReply : StatusReply {
  MQHOBJ hobj = MQHO_UNUSABLE_HOBJ;
  std::string object_name;
};
struct PutReply : StatusReply {
  MQMD md{};
};
struct GetReply : StatusReply {
  MQMD md{};
  MQLONG data_length = 0;
  std::vector<uint8_t> data;
  Properties properties;
};
struct InqReply : StatusReply {
  std::vector<MQLONG> ints;
  std::string chars;
};
struct AdminReply {
  bool ok = false;
  std::string text;
};

inline void Encode(Writer&, const NoArguments&) {}
void Encode(Writer& w, const ConnRequest& r);
void Encode(Writer& w, const OpenRequest& r);
void Encode(Writer& w, const CloseRequest& r);
void Encode(Writer& w, const PutRequest& r);
void Encode(Writer& w, const GetRequest& r);
void Encode(Writer& w, const InqRequest& r);
void Encode(Writer& w, const SetRequest& r);
void Encode(Writer& w, const AdminRequest& r);
void Encode(Writer& w, const StatusReply& r);
void Encode(Writer& w, const ConnReply& r);
void Encode(Writer& w, const OpenReply& r);
void Encode(Writer& w, const PutReply& r);
void Encode(Writer& w, const GetReply& r);
void Encode(Writer& w, const InqReply& r);
void Encode(Writer& w, const AdminReply& r);

// Each returns false when the payload is not exactly one valid record.
bool Decode(std::span<const uint8_t> p, ConnRequest& r);
bool Decode(std::span<const uint8_t> p, OpenRequest& r);
bool Decode(std::span<const uint8_t> p, CloseRequest& r);
bool Decode(std::span<const uint8_t> p, PutRequest& r);
bool Decode(std::span<const uint8_t> p, GetRequest& r);
bool Decode(std::span<const uint8_t> p, InqRequest& r);
bool Decode(std::span<const uint8_t> p, SetRequest& r);
bool Decode(std::span<const uint8_t> p, AdminRequest& r);
bool Decode(std::span<const uint8_t> p, StatusReply& r);
bool Decode(std::span<const uint8_t> p, ConnReply& r);
bool Decode(std::span<const uint8_t> p, OpenReply& r);
bool Decode(std::span<const uint8_t> p, PutReply& r);
bool Decode(std::span<const uint8_t> p, GetReply& r);
bool Decode(std::span<const uint8_t> p, InqReply& r);
bool Decode(std::span<const uint8_t> p, AdminReply& r);

}  // namespace vrqsim
