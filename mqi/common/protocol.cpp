// Encoding and strict decoding of the stand-in's request and reply records. Lengths are
// bounded before anything is allocated: message data by the largest message, selector
// lists by the MQI's own limit, texts by the widest MQ field they carry.
#include "protocol.h"

#include <cmqc.h>

namespace vrqsim {

namespace {

constexpr size_t kMaxText = 64 * 1024;
constexpr uint32_t kMaxProperties = 1024;
constexpr size_t kMaxTopic = 10240;   // MQ_TOPIC_STR_LENGTH

void Longs(Writer& w, const std::vector<MQLONG>& v) {
  w.bytes({reinterpret_cast<const uint8_t*>(v.data()), v.size() * sizeof(MQLONG)});
}

std::vector<MQLONG> Longs(Reader& r, size_t max_count) {
  auto b = r.bytes(max_count * sizeof(MQLONG));
  if (b.size() % sizeof(MQLONG)) {
    r.fail();  // a partial integer is malformed
    return {};
  }
  std::vector<MQLONG> v(b.size() / sizeof(MQLONG));
  if (!v.empty()) std::memcpy(v.data(), b.data(), b.size());
  return v;
}

std::vector<uint8_t> Data(Reader& r) {
  auto b = r.bytes(kMaxMsgLength);
  return {b.begin(), b.end()};
}

void Status(Writer& w, const StatusReply& r) {
  w.i32(r.cc);
  w.i32(r.rc);
}

void Status(Reader& in, StatusReply& r) {
  r.cc = in.i32();
  r.rc = in.i32();
}

}  // namespace

void Wipe(std::string& secret) {
  volatile char* p = secret.data();
  for (size_t i = 0; i < secret.size(); ++i) p[i] = 0;
  secret.clear();
}

void Wipe(std::vector<uint8_t>& secret) {
  volatile uint8_t* p = secret.data();
  for (size_t i = 0; i < secret.size(); ++i) p[i] = 0;
  secret.clear();
}

void Encode(Writer& w, const ConnRequest& r) {
  w.reserve(64 + r.appl_name.size() + r.user.size() + r.qmgr.size() + r.accounting.size() + r.channel.size() +
            r.csp_user.size() + r.csp_password.size());
  w.str(r.appl_name);
  w.str(r.user);
  w.str(r.qmgr);
  w.str(r.accounting);
  w.str(r.channel);
  w.i32(r.auth_type);
  w.str(r.csp_user);
  w.str(r.csp_password);
}
void Encode(Writer& w, const OpenRequest& r) {
  w.record(r.od);
  w.i32(r.options);
  w.str(r.object_string);
}
void Encode(Writer& w, const CloseRequest& r) {
  w.i32(r.hobj);
  w.i32(r.options);
}
void Encode(Writer& w, const PutRequest& r) {
  w.i32(r.hobj);
  w.record(r.od);
  w.str(r.object_string);
  w.record(r.md);
  w.i32(r.options);
  w.i32(r.context);
  w.bytes(r.data);
}
void Encode(Writer& w, const GetRequest& r) {
  w.i32(r.hobj);
  w.record(r.md);
  w.i32(r.options);
  w.i32(r.wait);
  w.i32(r.match);
  w.i32(r.buffer_length);
  w.i32(r.properties);
}
void Encode(Writer& w, const InqRequest& r) {
  w.i32(r.hobj);
  Longs(w, r.selectors);
  w.i32(r.int_count);
  w.i32(r.char_length);
}
void Encode(Writer& w, const SetRequest& r) {
  w.i32(r.hobj);
  Longs(w, r.selectors);
  Longs(w, r.ints);
  w.str(r.chars);
}
void Encode(Writer& w, const AdminRequest& r) { w.str(r.command); }
void Encode(Writer& w, const SubRequest& r) {
  w.i32(r.options);
  w.str(r.object_name);
  w.str(r.topic);
  w.str(r.sub_name);
  w.str(r.user_data);
  w.i32(r.destination);
  w.str(r.correl_id);
  w.i32(r.priority);
  w.i32(r.expiry);
}
void Encode(Writer& w, const SubRqRequest& r) {
  w.i32(r.hsub);
  w.i32(r.action);
}
void Encode(Writer& w, const SubReply& r) {
  Status(w, r);
  w.i32(r.hobj);
  w.i32(r.hsub);
  w.str(r.topic);
  w.str(r.correl_id);
  w.str(r.object_name);
}
void Encode(Writer& w, const SubRqReply& r) {
  Status(w, r);
  w.i32(r.publications);
}
void Encode(Writer& w, const StatusReply& r) { Status(w, r); }
void Encode(Writer& w, const ConnReply& r) {
  Status(w, r);
  w.str(r.qmgr);
}
void Encode(Writer& w, const OpenReply& r) {
  Status(w, r);
  w.i32(r.hobj);
  w.str(r.object_name);
  w.str(r.topic);
}
void Encode(Writer& w, const PutReply& r) {
  Status(w, r);
  w.record(r.md);
}
void Encode(Writer& w, const GetReply& r) {
  Status(w, r);
  w.record(r.md);
  w.i32(r.data_length);
  w.bytes(r.data);
  w.u32(static_cast<uint32_t>(r.properties.size()));
  for (const Property& prop : r.properties) {
    w.str(prop.name);
    w.i32(prop.type);
    w.str(prop.value);
  }
}
void Encode(Writer& w, const InqReply& r) {
  Status(w, r);
  Longs(w, r.ints);
  w.str(r.chars);
}
void Encode(Writer& w, const AdminReply& r) {
  w.i32(r.ok ? 1 : 0);
  w.str(r.text);
}

bool Decode(std::span<const uint8_t> p, ConnRequest& r) {
  Reader in(p);
  r.appl_name = in.str(28);
  r.user = in.str(12);
  r.qmgr = in.str(48);
  r.accounting = in.str(32);
  r.channel = in.str(20);
  r.auth_type = in.i32();
  r.csp_user = in.str(kMaxCspText);
  r.csp_password = in.str(kMaxCspText);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, OpenRequest& r) {
  Reader in(p);
  r.od = in.record<ObjectRef>();
  r.options = in.i32();
  r.object_string = in.str(kMaxTopic);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, CloseRequest& r) {
  Reader in(p);
  r.hobj = in.i32();
  r.options = in.i32();
  return in.done();
}
bool Decode(std::span<const uint8_t> p, PutRequest& r) {
  Reader in(p);
  r.hobj = in.i32();
  r.od = in.record<ObjectRef>();
  r.object_string = in.str(kMaxTopic);
  r.md = in.record<MQMD>();
  r.options = in.i32();
  r.context = in.i32();
  r.data = Data(in);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, GetRequest& r) {
  Reader in(p);
  r.hobj = in.i32();
  r.md = in.record<MQMD>();
  r.options = in.i32();
  r.wait = in.i32();
  r.match = in.i32();
  r.buffer_length = in.i32();
  r.properties = in.i32();
  return in.done();
}
bool Decode(std::span<const uint8_t> p, InqRequest& r) {
  Reader in(p);
  r.hobj = in.i32();
  r.selectors = Longs(in, kMaxSelectors);
  r.int_count = in.i32();
  r.char_length = in.i32();
  return in.done();
}
bool Decode(std::span<const uint8_t> p, SetRequest& r) {
  Reader in(p);
  r.hobj = in.i32();
  r.selectors = Longs(in, kMaxSelectors);
  r.ints = Longs(in, kMaxSelectors);
  r.chars = in.str(kMaxText);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, AdminRequest& r) {
  Reader in(p);
  r.command = in.str(1024);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, SubRequest& r) {
  Reader in(p);
  r.options = in.i32();
  r.object_name = in.str(48);
  r.topic = in.str(kMaxTopic);
  r.sub_name = in.str(kMaxTopic);
  r.user_data = in.str(kMaxTopic);
  r.destination = in.i32();
  r.correl_id = in.str(24);
  r.priority = in.i32();
  r.expiry = in.i32();
  return in.done();
}
bool Decode(std::span<const uint8_t> p, SubRqRequest& r) {
  Reader in(p);
  r.hsub = in.i32();
  r.action = in.i32();
  return in.done();
}
bool Decode(std::span<const uint8_t> p, SubReply& r) {
  Reader in(p);
  Status(in, r);
  r.hobj = in.i32();
  r.hsub = in.i32();
  r.topic = in.str(kMaxTopic);
  r.correl_id = in.str(24);
  r.object_name = in.str(48);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, SubRqReply& r) {
  Reader in(p);
  Status(in, r);
  r.publications = in.i32();
  return in.done();
}
bool Decode(std::span<const uint8_t> p, StatusReply& r) {
  Reader in(p);
  Status(in, r);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, ConnReply& r) {
  Reader in(p);
  Status(in, r);
  r.qmgr = in.str(48);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, OpenReply& r) {
  Reader in(p);
  Status(in, r);
  r.hobj = in.i32();
  r.object_name = in.str(48);
  r.topic = in.str(kMaxTopic);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, PutReply& r) {
  Reader in(p);
  Status(in, r);
  r.md = in.record<MQMD>();
  return in.done();
}
bool Decode(std::span<const uint8_t> p, GetReply& r) {
  Reader in(p);
  Status(in, r);
  r.md = in.record<MQMD>();
  r.data_length = in.i32();
  r.data = Data(in);
  const uint32_t count = in.u32();
  if (count > kMaxProperties) return false;
  for (uint32_t i = 0; i < count && !in.failed(); ++i) {
    Property prop;
    prop.name = in.str(kMaxText);
    prop.type = in.i32();
    prop.value = in.str(kMaxText);
    r.properties.push_back(std::move(prop));
  }
  return in.done();
}
bool Decode(std::span<const uint8_t> p, InqReply& r) {
  Reader in(p);
  Status(in, r);
  r.ints = Longs(in, kMaxSelectors);
  r.chars = in.str(kMaxText);
  return in.done();
}
bool Decode(std::span<const uint8_t> p, AdminReply& r) {
  Reader in(p);
  r.ok = in.i32() != 0;
  r.text = in.str(kMaxText);
  return in.done();
}

}  // namespace vrqsim
