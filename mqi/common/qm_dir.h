// Where stand-in queue managers live: the directory named by VRQSIM_DIR (default
// /tmp/vrqsim-<uid>), one folder per queue manager holding its definition file, socket,
// process id and log, and the file naming the default queue manager.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vrqsim {

inline constexpr const char* kDirEnv = "VRQSIM_DIR";

std::string SimDir();
std::string QmDir(std::string_view qm);
std::string SocketPath(std::string_view qm);
std::string PidPath(std::string_view qm);
std::string DefinitionsPath(std::string_view qm);
std::string LogPath(std::string_view qm);
// The loopback TCP port of a running queue manager that listens on one.
std::string PortPath(std::string_view qm);
std::string DefaultQmPath();

// 1 to 48 characters from A-Z a-z 0-9 . _ / %, as IBM MQ allows in object names.
bool ValidObjectName(std::string_view name);

// The default queue manager's name, when one has been made default.
std::optional<std::string> DefaultQmName();

}  // namespace vrqsim
