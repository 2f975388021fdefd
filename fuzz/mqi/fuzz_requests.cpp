// Feeds arbitrary bytes to the server's request decoders (every operation's record) and to
// the command server's PCF parser, and runs decoded requests against a queue manager: none
// may crash, overrun or allocate without bound.
#include <cmqc.h>

#include <cstdint>
#include <span>

#include "pcf_codec.h"
#include "protocol.h"
#include "pubsub.h"
#include "queue_manager.h"
#include "rfh2.h"

using namespace vrqsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t which = data[0];
  std::span<const uint8_t> p(data + 1, size - 1);
  static QueueManager qm("FUZZ.QM");
  static Session& s = qm.OpenSession("fuzz", "fuzz");
  static PubSub pubsub(qm);
  switch (which % 11) {
    case 0: { ConnRequest r; Decode(p, r); break; }
    case 1: {
      OpenRequest r;
      if (Decode(p, r)) {
        OpenResult o = qm.Open(s, r.od, r.options);
        if (!o.outcome.failed()) qm.Close(s, o.hobj, MQCO_NONE);
      }
      break;
    }
    case 2: {
      PutRequest r;
      if (Decode(p, r)) {
        qm.Put1(s, r.od, r.md, {r.options, r.context}, r.data);
        qm.Backout(s);
      }
      break;
    }
    case 3: {
      GetRequest r;
      if (Decode(p, r) && r.buffer_length < 1 << 16) qm.Get(s, r.hobj, r.md, {r.options, r.match}, r.buffer_length);
      break;
    }
    case 4: {
      InqRequest r;
      if (Decode(p, r) && r.char_length < 1 << 16) {
        std::vector<MQLONG> ints;
        std::string chars;
        qm.Inquire(s, r.hobj, r.selectors, ints, r.int_count, chars, r.char_length);
      }
      break;
    }
    case 5: { SetRequest r; if (Decode(p, r)) qm.SetAttrs(s, r.hobj, r.selectors, r.ints, r.chars); break; }
    case 6: { CloseRequest r; Decode(p, r); break; }
    case 7: { AdminRequest r; Decode(p, r); break; }
    case 8: {
      // A subscription, a publication on its topic, and the subscription's end.
      SubRequest r;
      if (Decode(p, r)) {
        SubReply sub = pubsub.Subscribe(s, r);
        MQMD md = {MQMD_DEFAULT};
        pubsub.Publish1(s, ObjectRef{MQOT_TOPIC, {}, {}, {}, {}}, r.topic, md, {MQPMO_NO_SYNCPOINT, 0}, p);
        if (sub.cc != MQCC_FAILED) {
          pubsub.Close(s, sub.hsub, MQCO_REMOVE_SUB);
          if (r.options & MQSO_MANAGED) qm.Close(s, sub.hobj, MQCO_NONE);
          pubsub.Tidy();
        }
      }
      break;
    }
    case 9: {
      // Properties out of an MQRFH2 and back into one.
      MQMD md = {MQMD_DEFAULT};
      Properties props;
      if (TakeRfh2Properties(p, md, props)) {
        std::vector<uint8_t> again = BuildRfh2(props, md.Encoding, md.CodedCharSetId, md.Format);
        Properties back;
        TakeRfh2Properties(again, md, back);
      }
      StripInternalRfh2(p, md);
      break;
    }
    default: { PcfCommand cmd; ParsePcf(p, cmd); break; }
  }
  return 0;
}
