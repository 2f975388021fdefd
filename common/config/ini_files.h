// Internal helpers shared by the ini and permission loaders: the exact error texts, the
// memory tag, bounded copies and opening a configuration file by name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace vrq::ini {

inline constexpr const char* kIniTag = "VrqIni";
inline constexpr const char* kOpenFailedText = "Opening file %s failed\nERRNO(%d): ERRSTR(%s)\n";
inline constexpr const char* kSizeFailedText = "Get size of file %s failed\nERRNO(%d): ERRSTR(%s)\n";
// Room for the installation directory and "config/groups/" in front of a file name.
inline constexpr std::size_t kInstallDirRoom = 1024;

void WriteOpenError(char* errText, const char* path, int error);
void WriteSizeError(char* errText, const char* path, int error);
// Copies src (null = empty) into dest of capacity bytes, cut and terminated.
void CopyCut(char* dest, std::size_t capacity, const char* src);
// Opens path for reading; a null path or one longer than pathMax fails with ENAMETOOLONG.
FILE* OpenForReading(const char* path, std::size_t pathMax, int* error);
// The path of a configuration file: file itself, or placed in the configuration directory.
bool ConfigPath(const char* file, int useInstallDir, std::string* path);

}  // namespace vrq::ini
