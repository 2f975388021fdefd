// The platform side of the path routines: the separator and the installation directory
// before the environment variable is consulted.
#pragma once

#include <cstddef>

namespace vrq::paths {

constexpr std::size_t kInstallDirRoom = 512;

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Fills buffer (kInstallDirRoom bytes) with the default installation directory, then with
// the parent of the working directory when that can be read (and, on Windows, with the
// registry's WorkPath when present).
void PlatformInstallDir(char* buffer);

// Cuts a path after its last separator (keeping it); returns false and leaves the path
// unchanged when it is the root alone or holds no separator.
bool CutToParent(char* path);

}  // namespace vrq::paths
