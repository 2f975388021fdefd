// Fuzz target: arbitrary file contents loaded as an ini file and as a permission file, then
// every lookup, the tokenizer and the line helpers run over what was loaded.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vrqapi.h"

namespace {

// The file each input is written to; removed when the fuzzer ends.
char g_scratch[] = "/tmp/fuzz_ini.XXXXXX";

const char* ScratchPath() {
  static const bool made = [] {
    const int fd = mkstemp(g_scratch);
    if (fd < 0) return false;
    close(fd);
    std::atexit([] { unlink(g_scratch); });
    return true;
  }();
  return made ? g_scratch : nullptr;
}

void Lookups(IniFile* ini) {
  char key[VRQ_INI_VALUE_SIZE], value[VRQ_INI_VALUE_SIZE];
  vrqGetValue(ini, "Name", value, 1);
  while (vrqGetValue(ini, "*", value, 2) == 1) {
  }
  vrqGetValueExt(ini, "Q*", value, 1);
  while (vrqGetKeyAndValue(ini, key, value, 2) == 1) {
  }
  int32_t pos = 0;
  vrqGetValueExtExt(ini, "UserAuthority::QM1:user:Q1", value, 1, &pos);
  vrqResetPos(ini, static_cast<int32_t>(ini->ulSize / 2));
  vrqGetValueExt(ini, "*", value, 2);
}

void SectionLookups(const PermSection& section, const char* delims, const char* terms) {
  if (section.pText == nullptr) return;
  char value[VRQ_INI_VALUE_SIZE];
  int32_t pos = 0;
  vrqGetValueExt2(section.pText, nullptr, delims, terms, "Audit::*", value, 1);
  while (vrqGetValuePermits(section.pText, delims, terms, "Q?", value, 2, &pos) == 1) {
  }
  pos = 0;
  while (vrqGetValueExtExt2(section.pText, delims, terms, "Audit::QM1:x", value, 2, &pos) == 1) {
  }
  vrqGoToLine(section.pText, vrqLineCount(section.pText) + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = ScratchPath();
  if (path == nullptr) return 0;
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  char err[VRQ_INI_ERRTEXT_SIZE];
  const char* delimSets[][2] = {{" \n\t=", " \n\t"}, {"\n=", " \r\n\t"}, {" \"", "\""}};
  for (const auto& set : delimSets) {
    IniFile ini{};
    if (vrqOpenIniFile(path, set[0], set[1], &ini, err, 0) == 1) Lookups(&ini);
    vrqCloseIniFile(&ini);
  }
  PermFile perm{};
  if (vrqOpenPermFile(path, "=\r\n", "\r\n", &perm, err, 0) == 1) {
    SectionLookups(perm.Effective, "=\r\n", "\r\n");
    SectionLookups(perm.UserAuth, " :\r\n", "\r\n");
    SectionLookups(perm.Audit, "=\r\n", "\r\n");
    SectionLookups(perm.Trust, "=\r\n", "\r\n");
  }
  vrqClosePermFile(&perm);

  std::string text(reinterpret_cast<const char*>(data), size);
  char token[VRQ_INI_VALUE_SIZE];
  int32_t used = 0;
  for (const char* p = text.c_str(); vrqGetToken(token, p, " =\t", &used) == 1; p += used) {
  }
  return 0;
}
