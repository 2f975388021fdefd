// Permission files: loaded line by line and sorted into four sections (effective
// permissions, user authorities, audit and trust lines) that the permit lookups then scan
// as plain texts. Lines are read in pieces of at most 2043 characters; every stored line
// ends in a carriage return and line feed.
#include <cmqc.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "ini_files.h"
#include "vrqapi.h"

// The record's layout is part of the interface (64-bit build).
constexpr bool kLp64 = sizeof(void*) == 8;
static_assert(!kLp64 || (sizeof(PermSection) == 16 && sizeof(PermFile) == 1248));
static_assert(!kLp64 || (offsetof(PermFile, szPath) == 74 && offsetof(PermFile, szHeader) == 1098 &&
                         offsetof(PermFile, Effective) == 1184 && offsetof(PermFile, Trust) == 1232));

using namespace vrq::ini;

namespace {

constexpr std::size_t kLinePieceMax = 2043;
constexpr std::size_t kHeaderLineMax = 2046;
constexpr std::size_t kPrefixLength = 7;
constexpr std::array<std::string_view, 4> kSectionPrefixes = {"Effecti", "UserAut", "Audit::",
                                                              "TRUST::"};

PermSection* SectionOf(PermFile* handle, std::size_t index) {
  PermSection* sections[] = {&handle->Effective, &handle->UserAuth, &handle->Audit,
                             &handle->Trust};
  return sections[index];
}

// Reads up to max characters or through the next line feed; false at the end of the file.
bool ReadPiece(FILE* f, std::size_t max, std::string* line) {
  line->clear();
  int c = 0;
  while (line->size() < max && (c = std::fgetc(f)) != EOF) {
    line->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line->empty();
}

std::string HeaderOf(FILE* f) {
  std::string line;
  ReadPiece(f, kHeaderLineMax, &line);
  const std::size_t end = line.find_first_of("\r\n");
  if (end != std::string::npos) line.resize(end);
  if (line.size() > VRQ_PERM_HEADER_MAX) line.resize(VRQ_PERM_HEADER_MAX);
  return line;
}

bool SameLetters(char a, char b) {
  return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

// The section a line belongs to by its first seven characters (any case), or -1.
int SectionIndex(const std::string& line) {
  if (line.size() < kPrefixLength) return -1;
  for (std::size_t i = 0; i < kSectionPrefixes.size(); ++i) {
    if (std::equal(kSectionPrefixes[i].begin(), kSectionPrefixes[i].end(), line.begin(),
                   SameLetters)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Moves the collected lines of each section into tracked memory of its length plus 1.
bool StoreSections(PermFile* handle, const std::array<std::string, 4>& texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].empty()) continue;
    void* block = nullptr;
    if (fNewMemory(&block, texts[i].size() + 1, kIniTag) == 0) return false;
    std::memcpy(block, texts[i].data(), texts[i].size());
    PermSection* section = SectionOf(handle, i);
    section->pText = static_cast<char*>(block);
    section->lLength = static_cast<int32_t>(texts[i].size());
  }
  return true;
}

}  // namespace

extern "C" {

VRQAPI_API int vrqOpenPermFile(const char* file, const char* keyDelims, const char* valueTerms,
                               PermFile* handle, char* errText, int useInstallDir) {
  if (handle == nullptr) return 0;
  std::memset(handle, 0, sizeof *handle);
  std::string path;
  if (!ConfigPath(file, useInstallDir, &path)) {
    WriteOpenError(errText, "", ENOENT);
    return 0;
  }
  return vrqLoadPermFile(path.c_str(), keyDelims, valueTerms, handle, errText);
}

VRQAPI_API int vrqLoadPermFile(const char* path, const char* keyDelims, const char* valueTerms,
                               PermFile* handle, char* errText) {
  if (handle == nullptr) return 0;
  const char* shown = path == nullptr ? "" : path;
  int error = 0;
  handle->pStream = OpenForReading(path, VRQ_PERM_PATH_MAX, &error);
  if (handle->pStream == nullptr) {
    WriteOpenError(errText, shown, error);
    return 0;
  }
  handle->Effective = handle->UserAuth = handle->Audit = handle->Trust = PermSection{};
  CopyCut(handle->szPath, sizeof handle->szPath, path);
  errno = 0;
  MQLONG size = 0;
  const bool measured = SizeOfFile(handle->pStream, &size) != 0 && size > 0;
  if (!measured) {
    const int failure = errno;
    vrqClosePermFile(handle);
    WriteSizeError(errText, shown, failure);
    return 0;
  }
  CopyCut(handle->szKeyDelim, sizeof handle->szKeyDelim, keyDelims);
  CopyCut(handle->szValueTerm, sizeof handle->szValueTerm, valueTerms);
  std::rewind(handle->pStream);
  const std::string header = HeaderOf(handle->pStream);
  std::memcpy(handle->szHeader, header.c_str(), header.size() + 1);
  std::rewind(handle->pStream);

  // Sections are collected first and allocated at their final length: a line feed that
  // becomes a carriage return and line feed makes a section longer than the file.
  std::array<std::string, 4> texts;
  std::string line;
  while (ReadPiece(handle->pStream, kLinePieceMax, &line)) {
    const std::size_t n = line.size();
    if (n > 2 && line[n - 1] == '\n' && line[n - 2] != '\r') line.insert(n - 1, 1, '\r');
    const int index = SectionIndex(line);
    if (index >= 0) texts[static_cast<std::size_t>(index)] += line;
  }
  std::fclose(handle->pStream);
  handle->pStream = nullptr;
  if (!StoreSections(handle, texts)) {
    vrqClosePermFile(handle);
    WriteSizeError(errText, shown, ENOMEM);
    return 0;
  }
  return 1;
}

VRQAPI_API int vrqClosePermFile(PermFile* handle) {
  if (handle == nullptr) return 1;
  if (handle->pStream != nullptr) std::fclose(handle->pStream);
  FreeMemory(handle->Effective.pText);
  FreeMemory(handle->UserAuth.pText);
  FreeMemory(handle->Audit.pText);
  FreeMemory(handle->Trust.pText);
  std::memset(handle, 0, sizeof *handle);
  return 1;
}

}  // extern "C"
