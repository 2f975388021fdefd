// Queue qualifiers and generated queue names: the model queue and the high- and mid-level
// qualifiers a site sets in "mqqual.ini", and GenerateQueName, which builds every queue
// name the toolkit creates on a queue manager from them.
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "mqtx_internal.h"

static_assert(sizeof(MQQual) == 67 && offsetof(MQQual, szHighLevel) == 49 &&
              offsetof(MQQual, szMidLevel) == 58);

using namespace vrq::mqtx;

namespace {

constexpr const char* kQualTag = "MQQUAL";
constexpr const char* kQualFile = "mqqual.ini";
constexpr const char* kQualKeyDelims = "\n=";
constexpr const char* kQualValueTerms = " \r\n\t";
constexpr const char* kModelKey = "ORVANE.MODEL.QUEUE";
constexpr const char* kHighLevelKey = "ORVANE.HLQ";
constexpr const char* kMidLevelKey = "ORVANE.MLQ";
constexpr const char* kDefaultBase = "DEFAULT";
constexpr std::size_t kBaseMax = 8;
constexpr std::size_t kQualifierMax = 8;

// The three patterns of one kind: high- and mid-level set (H, M, B), only the high-level
// set (H, B), no high-level (B). Patterns without a base ignore it.
struct NamePatterns {
  int kind;
  const char* both;
  const char* highOnly;
  const char* none;
};

constexpr std::array<NamePatterns, 8> kPatterns = {{
    {QNAME_EVENT, "%s.%s.EVENT.%s", "%s.ORVANE.EVENT.%s", "ORVANE.EVENT.%s"},
    {QNAME_REPLY, "%s.%s.REPLY.%s", "%s.ORVANE.REPLY.%s", "ORVANE.REPLY.%s"},
    {QNAME_EVENT_QUEUE, "%s.%s.ORVANE.EVENT.QUEUE", "%s.ORVANE.EVENT.QUEUE",
     "ORVANE.EVENT.QUEUE"},
    {QNAME_PUBSUB_EVENT, "%s.%s.ORVANE.PUBSUB.EVENT.QUEUE", "%s.ORVANE.PUBSUB.EVENT.QUEUE",
     "ORVANE.PUBSUB.EVENT.QUEUE"},
    {QNAME_PUBSUB_REPLY, "%s.%s.ORVANE.PUBSUB.REPLY.QUEUE", "%s.ORVANE.PUBSUB.REPLY.QUEUE",
     "ORVANE.PUBSUB.REPLY.QUEUE"},
    {QNAME_TPX_PROXY, "%s.%s.ORVANE.TPX.PROXY.QUEUE", "%s.ORVANE.TPX.PROXY.QUEUE",
     "ORVANE.TPX.PROXY.COMMAND.QUEUE"},
    {QNAME_TPX_ADMIN, "%s.%s.ORVANE.TPX.ADMIN.COMMAND.QUEUE", "%s.ORVANE.TPX.ADMIN.QUEUE",
     "ORVANE.TPX.ADMIN.COMMAND.QUEUE"},
    {QNAME_TPX_AUDIT, "%s.%s.ORVANE.TPX.AUDIT.QUEUE", "%s.ORVANE.TPX.AUDIT.QUEUE",
     "ORVANE.TPX.AUDIT.QUEUE"},
}};
constexpr NamePatterns kOtherKind = {0, "%s.%s.%s", "%s.ORVANE.%s", "ORVANE.%s.QUEUE"};

const NamePatterns& PatternsOf(int kind) {
  for (const auto& p : kPatterns) {
    if (p.kind == kind) return p;
  }
  return kOtherKind;
}

// Fills the pattern's directives in order from the arguments: the qualifiers it names and
// then the base; patterns use only "%s".
std::string Fill(const char* pattern, std::initializer_list<const char*> args) {
  std::string out;
  auto arg = args.begin();
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      if (arg != args.end()) out += *arg++;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string Cut(const char* text, std::size_t max) {
  return text == nullptr ? std::string() : std::string(text, strnlen(text, max));
}

void ReadKey(IniFile* ini, const char* key, char* field, std::size_t max) {
  char value[VRQ_INI_VALUE_SIZE];
  if (vrqGetValueExt(ini, key, value, 1) == 0) return;
  std::memset(field, 0, max + 1);
  std::memcpy(field, value, strnlen(value, max));
}

char g_defaultName[VRQ_MQ_NAME_SIZE];

}  // namespace

extern "C" {

VRQMQTX_API MQQual* CreateQual(void) {
  void* block = nullptr;
  if (fNewMemory(&block, sizeof(MQQual), kQualTag) == 0) return nullptr;
  return static_cast<MQQual*>(block);
}

VRQMQTX_API int DeleteQual(MQQual* qual) {
  if (qual == nullptr) return 0;
  FreeMemory(qual);
  return 1;
}

VRQMQTX_API MQQual* RetreiveQual(MQQual* qual) {
  if (qual == nullptr) return nullptr;
  std::memset(qual, 0, sizeof *qual);
  IniFile ini{};
  if (vrqOpenIniFile(kQualFile, kQualKeyDelims, kQualValueTerms, &ini, nullptr, 1) == 0) {
    return nullptr;
  }
  ReadKey(&ini, kModelKey, qual->szModelQueue, VRQ_MQ_NAME_SIZE - 1);
  ReadKey(&ini, kHighLevelKey, qual->szHighLevel, kQualifierMax);
  ReadKey(&ini, kMidLevelKey, qual->szMidLevel, kQualifierMax);
  vrqCloseIniFile(&ini);
  return qual;
}

VRQMQTX_API char* GenerateQueName(char* name, const MQQual* qual, int kind) {
  const std::string base = name == nullptr ? kDefaultBase : Cut(name, kBaseMax);
  const std::string high = qual == nullptr ? "" : Cut(qual->szHighLevel, kQualifierMax);
  const std::string mid = qual == nullptr ? "" : Cut(qual->szMidLevel, kQualifierMax);
  const NamePatterns& p = PatternsOf(kind);
  std::string result;
  if (high.empty()) {
    result = Fill(p.none, {base.c_str()});
  } else if (mid.empty()) {
    result = Fill(p.highOnly, {high.c_str(), base.c_str()});
  } else {
    result = Fill(p.both, {high.c_str(), mid.c_str(), base.c_str()});
  }
  char* out = name != nullptr ? name : g_defaultName;
  SetName(out, result.c_str());
  return out;
}

}  // extern "C"
