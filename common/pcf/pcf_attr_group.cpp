// The group family (MQCFGR): a 16-byte group header whose members follow it directly in
// the same record. Members are appended, counted and fetched by position or parameter;
// a member group travels with all of its own members.
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include "pcf_attr_common.h"

using namespace vrq::pcf;

namespace {

// Calls visit(position, member bytes, member length including its own members) for each
// direct member of the group until visit returns true; false when the walk leaves the
// record or meets a structure that fails the check.
template <typename Visit>
bool ForEachMember(const Bytes& group, Visit visit) {
  const int32_t members = LoadWord(group.p + kGroupCountAt);
  int64_t offset = MQCFGR_STRUC_LENGTH;
  for (int32_t i = 0; i < members; ++i) {
    const Subtree member = WalkSubtree(group.p + offset, group.length - offset);
    if (member.length < 0) return false;
    if (visit(i, group.p + offset, static_cast<int32_t>(member.length))) return true;
    offset += member.length;
  }
  return false;
}

}  // namespace

extern "C" {

VRQAPI_API int CreatePcfGroupAttr(MESSAGE* attr, int parameter) {
  return NewStructure(attr, MQCFT_GROUP, MQCFGR_STRUC_LENGTH, parameter) ? 1 : 0;
}

VRQAPI_API int IsPcfGroupAttr(MESSAGE* attr) { return Checked(attr, MQCFT_GROUP) ? 1 : 0; }

VRQAPI_API int GetPcfGroupAttrCounter(MESSAGE* group, int* count) {
  auto bytes = Checked(group, MQCFT_GROUP);
  if (!bytes || count == nullptr) return 0;
  *count = LoadWord(bytes->p + kGroupCountAt);
  return 1;
}

VRQAPI_API int AppendAttrToGroup(MESSAGE* group, MESSAGE* attr) {
  auto member = RecordBytes(attr);
  if (!Checked(group, MQCFT_GROUP) || !member || member->length < 8 || group == attr) return 0;
  const int32_t count = LoadWord(group->pData + kGroupCountAt);
  if (count == INT32_MAX || !AppendBytes(group, member->p, member->length)) return 0;
  StoreWord(group->pData + kGroupCountAt, count + 1);
  return 1;
}

VRQAPI_API int GetGroupAttrByPos(int position, MESSAGE* out, MESSAGE* group) {
  auto bytes = Checked(group, MQCFT_GROUP);
  if (!bytes || out == nullptr || out == group || position < 0 || position >= LoadWord(bytes->p + kGroupCountAt))
    return 0;
  bool copied = false;
  ForEachMember(*bytes, [&](int32_t i, const char* p, int32_t length) {
    if (i != position) return false;
    copied = CopyOut(out, p, length);
    return true;
  });
  return copied ? 1 : 0;
}

VRQAPI_API int GetGroupAttrByID(int parameter, MESSAGE* out, MESSAGE* group) {
  auto bytes = Checked(group, MQCFT_GROUP);
  if (!bytes || out == nullptr || out == group || ResetMessage(out) != 1) return 0;
  bool copied = false;
  ForEachMember(*bytes, [&](int32_t, const char* p, int32_t length) {
    if (LoadWord(p + kParameterAt) != parameter) return false;
    copied = CopyOut(out, p, length);
    return true;
  });
  return copied ? 1 : 0;
}

}  // extern "C"
