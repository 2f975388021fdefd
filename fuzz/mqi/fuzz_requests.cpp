// Feeds arbitrary bytes to the server's request decoders (every operation's record) and to
// the command server's PCF parser, and runs decoded requests against a queue manager: none
// may crash, overrun or allocate without bound.
#include <cmqc.h>

#include <cstdint>
#include <span>

#include "pcf_codec.h"
#include "protocol.h"
#include "queue_manager.h"

using namespace vrqsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t which = data[0];
  std::span<const uint8_t> p(data + 1, size - 1);
  static QueueManager qm("FUZZ.QM");
  static Session& s = qm.OpenSession("fuzz", "fuzz");
  switch (which % 9) {
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
    default: { PcfCommand cmd; ParsePcf(p, cmd); break; }
  }
  return 0;
}
