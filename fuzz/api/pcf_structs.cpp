// Fuzz target for IsPcfAttrValid: the input bytes are checked as a view and as the data
// of an owning attribute record.
#include <vrqapi.h>

#include <cmqc.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // An exact-size copy, so that any read past the structure's bytes is caught.
  std::vector<char> bytes(data, data + size);
  MESSAGE view{};
  view.pData = bytes.data();
  view.lMsgLength = view.lMaxLength = static_cast<MQLONG>(size);
  IsPcfAttrValid(&view);

  MESSAGE attr{};
  if (CreateMessage(&attr, static_cast<int>(size)) == 0) return 0;
  if (size > 0) std::memcpy(attr.pData, data, size);
  attr.lMsgLength += static_cast<MQLONG>(size);
  IsPcfAttrValid(&attr);
  DeleteMessage(&attr);
  return 0;
}
