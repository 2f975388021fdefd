// Ini handles: loading a configuration file whole into tracked memory (tag "VrqIni"),
// closing it, and moving its scan position. The lookups over the loaded text are in
// ini_lookup.cpp.
#include <cmqc.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "ini_files.h"
#include "vrqapi.h"

// The record's layout is part of the interface (64-bit build).
constexpr bool kLp64 = sizeof(void*) == 8;
static_assert(!kLp64 || sizeof(IniFile) == 1136);
static_assert(!kLp64 || (offsetof(IniFile, lPos) == 12 && offsetof(IniFile, szKeyDelim) == 16 &&
                         offsetof(IniFile, pText) == 88 && offsetof(IniFile, szPath) == 96 &&
                         offsetof(IniFile, lOpenErrno) == 1128));

namespace vrq::ini {

void WriteOpenError(char* errText, const char* path, int error) {
  if (errText == nullptr) return;
  std::snprintf(errText, VRQ_INI_ERRTEXT_SIZE, kOpenFailedText, path, error, std::strerror(error));
}

void WriteSizeError(char* errText, const char* path, int error) {
  if (errText == nullptr) return;
  std::snprintf(errText, VRQ_INI_ERRTEXT_SIZE, kSizeFailedText, path, error, std::strerror(error));
}

void CopyCut(char* dest, std::size_t capacity, const char* src) {
  const std::size_t n = src == nullptr ? 0 : strnlen(src, capacity - 1);
  if (n > 0) std::memcpy(dest, src, n);
  dest[n] = '\0';
}

FILE* OpenForReading(const char* path, std::size_t pathMax, int* error) {
  if (path == nullptr || std::strlen(path) > pathMax) {
    *error = ENAMETOOLONG;
    return nullptr;
  }
  errno = 0;
  FILE* f = std::fopen(path, "r");
  *error = f == nullptr ? errno : 0;
  return f;
}

bool ConfigPath(const char* file, int useInstallDir, std::string* path) {
  if (file == nullptr) return false;
  if (useInstallDir == 0) {
    *path = file;
    return true;
  }
  // The install directory fills at most a 512-byte area; leave room for the rest.
  std::string buffer(kInstallDirRoom + std::strlen(file), '\0');
  vrqMakeIniFilePath(buffer.data(), file);
  buffer.resize(std::strlen(buffer.c_str()));
  *path = std::move(buffer);
  return true;
}

}  // namespace vrq::ini

using namespace vrq::ini;

extern "C" {

VRQAPI_API int vrqOpenIniFile(const char* file, const char* keyDelims, const char* valueTerms,
                              IniFile* handle, char* errText, int useInstallDir) {
  if (handle == nullptr) return 0;
  std::memset(handle, 0, sizeof *handle);
  std::string path;
  if (!ConfigPath(file, useInstallDir, &path)) {
    WriteOpenError(errText, "", ENOENT);
    return 0;
  }
  return vrqLoadFile(path.c_str(), keyDelims, valueTerms, handle, errText);
}

VRQAPI_API int vrqLoadFile(const char* path, const char* keyDelims, const char* valueTerms,
                           IniFile* handle, char* errText) {
  if (handle == nullptr) return 0;
  const char* shown = path == nullptr ? "" : path;
  int error = 0;
  handle->pStream = OpenForReading(path, VRQ_INI_PATH_MAX, &error);
  handle->lOpenErrno = error;
  if (handle->pStream == nullptr) {
    WriteOpenError(errText, shown, error);
    return 0;
  }
  CopyCut(handle->szPath, sizeof handle->szPath, path);
  handle->lPos = 0;
  handle->ulSize = 0;
  errno = 0;
  MQLONG size = 0;
  const bool measured = SizeOfFile(handle->pStream, &size) != 0 && size > 0;
  std::fclose(handle->pStream);
  handle->pStream = nullptr;
  void* block = nullptr;
  if (measured && fNewMemory(&block, static_cast<std::size_t>(size) + 4, kIniTag) != 0) {
    handle->pText = static_cast<char*>(block);
    handle->pStream = std::fopen(path, "r");
  }
  std::size_t got = 0;
  if (handle->pStream != nullptr) {
    got = std::fread(handle->pText, 1, static_cast<std::size_t>(size), handle->pStream);
    std::fclose(handle->pStream);
    handle->pStream = nullptr;
  }
  if (got == 0) {
    const int failure = errno;
    vrqCloseIniFile(handle);
    WriteSizeError(errText, shown, failure);
    return 0;
  }
  CopyCut(handle->szKeyDelim, sizeof handle->szKeyDelim, keyDelims);
  CopyCut(handle->szValueTerm, sizeof handle->szValueTerm, valueTerms);
  handle->ulSize = static_cast<uint32_t>(got);
  handle->pText[got] = '\0';
  return 1;
}

VRQAPI_API int vrqCloseIniFile(IniFile* handle) {
  if (handle == nullptr) return 1;
  if (handle->pStream != nullptr) std::fclose(handle->pStream);
  FreeMemory(handle->pText);
  std::memset(handle, 0, sizeof *handle);
  return 1;
}

VRQAPI_API int32_t vrqResetPos(IniFile* handle, int32_t offset) {
  if (handle == nullptr) return 0;
  if (offset < 0 || static_cast<uint32_t>(offset) > handle->ulSize) return handle->lPos;
  if (handle->pStream != nullptr && std::fseek(handle->pStream, offset, SEEK_SET) != 0) {
    return handle->lPos;
  }
  handle->lPos = offset;
  return offset;
}

}  // extern "C"
