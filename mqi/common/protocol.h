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
  std::string accounting;  // AccountingToken stamp, 32 bytes (empty: none)
  std::string channel;     // the client channel's name (empty: local bindings)
  // The MQCSP of MQCONNX: MQCSP_AUTH_NONE, or MQCSP_AUTH_USER_ID_AND_PWD with the user id
  // and password (the password is wiped by whoever holds the record once it is used).
  MQLONG auth_type = MQCSP_AUTH_NONE;
  std::string csp_user;
  std::string csp_password;
};

// The longest MQCSP user id and password the protocol carries; a queue manager refuses
// longer ones itself, so that the caller hears 2035 rather than a broken connection.
inline constexpr size_t kMaxCspText = 64 * 1024;

// Overwrites a secret's bytes (in a way the optimizer keeps) and empties it.
void Wipe(std::string& secret);
void Wipe(std::vector<uint8_t>& secret);
struct OpenRequest {
  ObjectRef od{};
  MQLONG options = 0;
  std::string object_string;   // a topic's string (MQOD version 4)
};
struct CloseRequest {
  MQHOBJ hobj = 0;
  MQLONG options = 0;
};
struct PutRequest {        // MQPUT (hobj) and MQPUT1 (od)
  MQHOBJ hobj = 0;
  ObjectRef od{};
  std::string object_string;
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
struct SubRequest {       // MQSUB
  MQLONG options = 0;
  std::string object_name;  // a topic object, or blank
  std::string topic;        // the topic string below it
  std::string sub_name;
  std::string user_data;
  MQHOBJ destination = MQHO_NONE;   // with MQSO_MANAGED unset: the caller's queue handle
  std::string correl_id;    // 24 bytes
  MQLONG priority = MQPRI_PRIORITY_AS_PUBLISHED;
  MQLONG expiry = MQEI_UNLIMITED;
};
struct SubRqRequest {     // MQSUBRQ
  MQHOBJ hsub = 0;
  MQLONG action = 0;
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
  std::string topic;           // the full topic string of a topic opened
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
struct SubReply : StatusReply {
  MQHOBJ hobj = MQHO_NONE;     // the managed queue's handle, or the caller's
  MQHOBJ hsub = MQHO_NONE;
  std::string topic;           // the full topic string subscribed to
  std::string correl_id;       // 24 bytes
  std::string object_name;     // the managed queue's name
};
struct SubRqReply : StatusReply {
  MQLONG publications = 0;
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
void Encode(Writer& w, const SubRequest& r);
void Encode(Writer& w, const SubRqRequest& r);
void Encode(Writer& w, const SubReply& r);
void Encode(Writer& w, const SubRqReply& r);
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
bool Decode(std::span<const uint8_t> p, SubRequest& r);
bool Decode(std::span<const uint8_t> p, SubRqRequest& r);
bool Decode(std::span<const uint8_t> p, SubReply& r);
bool Decode(std::span<const uint8_t> p, SubRqReply& r);
bool Decode(std::span<const uint8_t> p, StatusReply& r);
bool Decode(std::span<const uint8_t> p, ConnReply& r);
bool Decode(std::span<const uint8_t> p, OpenReply& r);
bool Decode(std::span<const uint8_t> p, PutReply& r);
bool Decode(std::span<const uint8_t> p, GetReply& r);
bool Decode(std::span<const uint8_t> p, InqReply& r);
bool Decode(std::span<const uint8_t> p, AdminReply& r);

}  // namespace vrqsim
