// Field-by-field listings of MQI structures (MQOD, MQMD, MQPMO, MQGMO and the API-exit
// records MQAXP and MQAXC) for diagnostics. Each structure is described by a constexpr
// table of fields (name, offset, size, how it is shown), printed by one loop; the offsets
// are checked against the MQ headers at compile time.
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqxc.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

namespace {

constexpr const char* kTextLine = "     [%04X]  %-24s - %s\n";
constexpr const char* kIntLine = "     [%04X]  %-24s - %-10d  (0x%08X)\n";
constexpr const char* kNamedLine = "     [%04X]  %-24s - %-10d  (%s)\n";
constexpr const char* kPointerLine = "     [%04X]  %-24s - %p\n";
constexpr const char* kBytesLead = "     [%04X]  %-24s - ";
constexpr int kHexPerRow = 8;
constexpr int kHexIndent = 40;

using NameMap = char* (*)(MQLONG value, char* out);

enum class Shown { Text, Integer, Named, Pointer, Bytes };

struct Field {
  const char* name;
  std::size_t offset;
  std::size_t size;
  Shown shown;
  NameMap map = nullptr;
};

struct Layout {
  const char* title;
  int size;
  std::span<const Field> fields;
};

MQLONG LongAt(const unsigned char* base, std::size_t offset) {
  MQLONG v;
  std::memcpy(&v, base + offset, sizeof v);
  return v;
}

void PrintField(FILE* stream, const unsigned char* base, const Field& f) {
  const unsigned offset = static_cast<unsigned>(f.offset);
  switch (f.shown) {
    case Shown::Text: {
      const std::string text(reinterpret_cast<const char*>(base + f.offset),
                             strnlen(reinterpret_cast<const char*>(base + f.offset), f.size));
      std::fprintf(stream, kTextLine, offset, f.name, text.c_str());
      return;
    }
    case Shown::Integer: {
      const MQLONG v = LongAt(base, f.offset);
      std::fprintf(stream, kIntLine, offset, f.name, static_cast<int>(v),
                   static_cast<unsigned>(v));
      return;
    }
    case Shown::Named: {
      const MQLONG v = LongAt(base, f.offset);
      char name[VRQ_MQ_VALUE_NAME_SIZE];
      std::fprintf(stream, kNamedLine, offset, f.name, static_cast<int>(v), f.map(v, name));
      return;
    }
    case Shown::Pointer: {
      void* p;
      std::memcpy(&p, base + f.offset, sizeof p);
      std::fprintf(stream, kPointerLine, offset, f.name, p);
      return;
    }
    case Shown::Bytes:
      std::fprintf(stream, kBytesLead, offset, f.name);
      PrintHexFile(stream, base + f.offset, static_cast<int>(f.size), kHexPerRow, kHexIndent);
      return;
  }
}

int PrintLayout(FILE* stream, const void* record, const Layout& layout) {
  if (stream == nullptr || record == nullptr) return 0;
  const auto* base = static_cast<const unsigned char*>(record);
  std::fprintf(stream, layout.title, layout.size);
  for (const Field& f : layout.fields) PrintField(stream, base, f);
  std::fflush(stream);
  return 1;
}

#define VRQ_FIELD(type, member, shown) \
  Field { #member, offsetof(type, member), sizeof(type::member), shown }
#define VRQ_NAMED(type, member, map) \
  Field { #member, offsetof(type, member), sizeof(type::member), Shown::Named, map }

constexpr Field kOdFields[] = {
    VRQ_FIELD(MQOD, StrucId, Shown::Text),
    VRQ_FIELD(MQOD, Version, Shown::Integer),
    VRQ_NAMED(MQOD, ObjectType, MqObjTypeStr),
    VRQ_FIELD(MQOD, ObjectName, Shown::Text),
    VRQ_FIELD(MQOD, ObjectQMgrName, Shown::Text),
    VRQ_FIELD(MQOD, DynamicQName, Shown::Text),
    VRQ_FIELD(MQOD, ResolvedQName, Shown::Text),
    VRQ_FIELD(MQOD, ResolvedQMgrName, Shown::Text),
};

constexpr Field kMdFields[] = {
    VRQ_FIELD(MQMD, StrucId, Shown::Text),
    VRQ_FIELD(MQMD, Version, Shown::Integer),
    VRQ_FIELD(MQMD, Report, Shown::Integer),
    VRQ_NAMED(MQMD, MsgType, MsgType),
    VRQ_FIELD(MQMD, Expiry, Shown::Integer),
    VRQ_NAMED(MQMD, Feedback, Feedback),
    VRQ_FIELD(MQMD, Encoding, Shown::Integer),
    VRQ_FIELD(MQMD, CodedCharSetId, Shown::Integer),
    VRQ_FIELD(MQMD, Format, Shown::Text),
    VRQ_FIELD(MQMD, Priority, Shown::Integer),
    VRQ_NAMED(MQMD, Persistence, PersistanceType),
    VRQ_FIELD(MQMD, MsgId, Shown::Bytes),
    VRQ_FIELD(MQMD, CorrelId, Shown::Bytes),
    VRQ_FIELD(MQMD, BackoutCount, Shown::Integer),
    VRQ_FIELD(MQMD, ReplyToQ, Shown::Text),
    VRQ_FIELD(MQMD, ReplyToQMgr, Shown::Text),
    VRQ_FIELD(MQMD, UserIdentifier, Shown::Text),
    VRQ_FIELD(MQMD, AccountingToken, Shown::Bytes),
    VRQ_FIELD(MQMD, ApplIdentityData, Shown::Text),
    VRQ_NAMED(MQMD, PutApplType, PutApplType),
    VRQ_FIELD(MQMD, PutApplName, Shown::Text),
    VRQ_FIELD(MQMD, PutDate, Shown::Text),
    VRQ_FIELD(MQMD, PutTime, Shown::Text),
    VRQ_FIELD(MQMD, ApplOriginData, Shown::Text),
};

constexpr Field kPmoFields[] = {
    VRQ_FIELD(MQPMO, StrucId, Shown::Text),
    VRQ_FIELD(MQPMO, Version, Shown::Integer),
    VRQ_FIELD(MQPMO, Options, Shown::Integer),
    VRQ_FIELD(MQPMO, Context, Shown::Integer),
    VRQ_FIELD(MQPMO, ResolvedQName, Shown::Text),
    VRQ_FIELD(MQPMO, ResolvedQMgrName, Shown::Text),
};

constexpr Field kGmoFields[] = {
    VRQ_FIELD(MQGMO, StrucId, Shown::Text),
    VRQ_FIELD(MQGMO, Version, Shown::Integer),
    VRQ_FIELD(MQGMO, Options, Shown::Integer),
    VRQ_FIELD(MQGMO, WaitInterval, Shown::Integer),
    VRQ_FIELD(MQGMO, ResolvedQName, Shown::Text),
    VRQ_FIELD(MQGMO, ReturnedLength, Shown::Integer),
};

constexpr Field kAxpFields[] = {
    VRQ_FIELD(MQAXP, StrucId, Shown::Text),
    VRQ_FIELD(MQAXP, Version, Shown::Integer),
    VRQ_NAMED(MQAXP, ExitId, MapExitId),
    VRQ_NAMED(MQAXP, ExitReason, MapExitReason),
    VRQ_NAMED(MQAXP, ExitResponse, MapExitResponse),
    VRQ_NAMED(MQAXP, ExitResponse2, MapExitResponse2),
    VRQ_NAMED(MQAXP, Feedback, Feedback),
    VRQ_NAMED(MQAXP, APICallerType, APICallerType),
    VRQ_FIELD(MQAXP, ExitUserArea, Shown::Bytes),
    VRQ_FIELD(MQAXP, ExitData, Shown::Text),
    VRQ_FIELD(MQAXP, ExitInfoName, Shown::Text),
    VRQ_FIELD(MQAXP, ExitPDArea, Shown::Bytes),
    VRQ_FIELD(MQAXP, QMgrName, Shown::Text),
    VRQ_FIELD(MQAXP, ExitChainAreaPtr, Shown::Pointer),
    VRQ_FIELD(MQAXP, Hconfig, Shown::Pointer),
    VRQ_NAMED(MQAXP, Function, MapFunctionId),
};

constexpr Field kAxcFields[] = {
    VRQ_FIELD(MQAXC, StrucId, Shown::Text),
    VRQ_FIELD(MQAXC, Version, Shown::Integer),
    VRQ_NAMED(MQAXC, Environment, MapEnvironment),
    VRQ_FIELD(MQAXC, UserId, Shown::Text),
    VRQ_FIELD(MQAXC, SecurityId, Shown::Bytes),
    VRQ_FIELD(MQAXC, ConnectionName, Shown::Text),
    VRQ_FIELD(MQAXC, LongMCAUserIdLength, Shown::Integer),
    VRQ_FIELD(MQAXC, LongRemoteUserIdLength, Shown::Integer),
    VRQ_FIELD(MQAXC, LongMCAUserIdPtr, Shown::Pointer),
    VRQ_FIELD(MQAXC, LongRemoteUserIdPtr, Shown::Pointer),
    VRQ_FIELD(MQAXC, ApplName, Shown::Text),
    VRQ_NAMED(MQAXC, ApplType, PutApplType),
    VRQ_FIELD(MQAXC, ProcessId, Shown::Integer),
    VRQ_FIELD(MQAXC, ThreadId, Shown::Integer),
};

#undef VRQ_FIELD
#undef VRQ_NAMED

// The sizes in the titles are those of the 64-bit layouts the listings were made for.
constexpr Layout kOd{"\nMQOD  (size: %d) ->\n", 424, kOdFields};
constexpr Layout kMd{"\nMQMD  (size: %d) ->\n", 364, kMdFields};
constexpr Layout kPmo{"\nPMO  (size: %d) ->\n", 184, kPmoFields};
constexpr Layout kGmo{"\nGMO  (size: %d) ->\n", 112, kGmoFields};
constexpr Layout kAxp{"\nMQAXP  (size: %d) ->\n", 256, kAxpFields};
constexpr Layout kAxc{"\nMQAXC  (size: %d) ->\n", 392, kAxcFields};

// Offsets the listings show, as the MQ headers lay the records out.
// MQOD holds pointers before ResolvedQName, so its offsets are those of 64-bit builds.
static_assert(sizeof(void*) != 8 ||
              (offsetof(MQOD, ResolvedQName) == 248 && offsetof(MQOD, ResolvedQMgrName) == 296));
static_assert(offsetof(MQMD, PutApplType) == 272 && offsetof(MQMD, ApplOriginData) == 320);
static_assert(offsetof(MQPMO, Context) == 16 && offsetof(MQPMO, ResolvedQMgrName) == 80);
static_assert(offsetof(MQGMO, ResolvedQName) == 24 && offsetof(MQGMO, ReturnedLength) == 96);
static_assert(sizeof(void*) != 8 || offsetof(MQAXP, Function) == 240);
static_assert(sizeof(void*) != 8 || offsetof(MQAXC, ThreadId) == 388);

}  // namespace

extern "C" {

VRQAPI_API int PrintMQOD(const MQOD* od, FILE* stream) { return PrintLayout(stream, od, kOd); }

VRQAPI_API int PrintMQMD(const MQMD* md, FILE* stream) { return PrintLayout(stream, md, kMd); }

VRQAPI_API int PrintMQMDFile(FILE* stream, const MQMD* md) {
  return PrintLayout(stream, md, kMd);
}

VRQAPI_API int PrintPMO(const MQPMO* pmo, FILE* stream) { return PrintLayout(stream, pmo, kPmo); }

VRQAPI_API int PrintGMO(const MQGMO* gmo, FILE* stream) { return PrintLayout(stream, gmo, kGmo); }

VRQAPI_API int PrintMQAxpInfo(FILE* stream, const MQAXP* axp) {
  return PrintLayout(stream, axp, kAxp);
}

VRQAPI_API int PrintMQAxcInfo(FILE* stream, const MQAXC* axc) {
  return PrintLayout(stream, axc, kAxc);
}

}  // extern "C"
