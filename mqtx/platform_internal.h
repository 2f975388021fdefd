// Internal interface of installation discovery: the few facts that differ between
// platforms (where MQ's configuration lies, how a directory is listed, which paths are
// relative), and the mqs.ini / qm.ini readers shared by the exported operations.
#ifndef VRQ_MQTX_PLATFORM_INTERNAL_H
#define VRQ_MQTX_PLATFORM_INTERNAL_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vrqmqtx.h"

// Operations the Linux build exports and the Windows build keeps inside the library.
#if defined(_WIN32)
#define VRQMQTX_LINUX_API
extern "C" {
int Get_QMgr_Names(PcfMessage* message, const char* mask);
int GetMQLogInfo_FromIni(const char* name, MQLogInfo* info);
int GetErrorLogPath_FromIni(int kind, const char* name, char* out);
}
#else
#define VRQMQTX_LINUX_API VRQMQTX_API
#endif

namespace vrq::platform {

// ---- platform facts (platform_posix.cpp) ----

// The directory holding mqs.ini.
std::string ConfigRoot();
// The default installation prefix used when mqs.ini cannot be read ("/var/mqm").
const char* DefaultPrefix();
struct DirEntry {
  std::string name;
  int64_t modified;  // seconds, 0 when it could not be read
};
// The entries of directory (which ends with a separator) in directory order; false when it
// cannot be opened.
bool ListDirectory(const std::string& directory, std::vector<DirEntry>* entries);
bool IsRelative(const char* path);
// The separator the build writes into paths, and whether a character separates path
// components ("/" only on POSIX; "\" and "/" on Windows).
char Separator();
bool IsSeparator(char c);
// The queue managers of an installation without mqs.ini (MQ 5.x on Windows keeps them in
// the registry), appended to names as they are stored; false when there is no such source
// or it cannot be read (Windows prints why). Linux has none.
bool QueueManagersWithoutMqsIni(std::vector<std::string>* names);

// ---- mqs.ini and qm.ini (platform_ini.cpp) ----

// One "Name:" stanza of an MQ ini file with its key=value lines, values up to their
// first blank.
struct Stanza {
  std::string_view name;
  std::vector<std::pair<std::string_view, std::string_view>> values;
  std::string_view Value(std::string_view key) const;
};
std::vector<Stanza> ParseStanzas(std::string_view text);

// Joins name to path with one separator between them.
std::string JoinPath(std::string path, std::string_view name);
// The directory of the named queue manager: DataPath, else <Prefix>/qmgrs/<Directory>
// from its mqs.ini stanza; without mqs.ini <default prefix>/qmgrs/<name> with "!" for "."
// and "&" for "/" as MQ names its directories, for a valid queue manager name only.
std::optional<std::string> QueueManagerDirectory(const char* name);
// The default queue manager from mqs.ini and the remote queue managers of a group file
// (the Linux answers of GetDefaultQmgr and GetRemoteQMgrNames).
int DefaultQmgrFromIni(char* out, int size);
int RemoteQMgrNamesFromIni(PcfMessage* message, const char* group);
// Appends the two lists of a remote queue-manager group ("DEFAULT" for each name under
// parameter 20011, the names cut to 48 characters under MQCA_Q_MGR_NAME) and re-indexes
// the message; 1 when names is not empty.
int AppendRemoteQMgrLists(PcfMessage* message, const std::vector<std::string>& names);
// Logs 0108E for a group source (file or registry key) that could not be read.
void LogUnreadableGroup(const char* source);
// Log settings from the "Log:" stanza of the qm.ini at path; info is cleared first. 1 when
// the file was read.
int LogInfoFromQmIni(const std::string& path, MQLogInfo* info);
// The log type of a LogType text: circular (2) when it begins with "CIRCULAR", else linear (3).
int32_t LogTypeOf(std::string_view text);
// text without the blanks, tabs and line ends around it.
std::string_view Trim(std::string_view text);
// Copies text into out (room bytes) when it fits; false otherwise.
bool CopyOut(std::string_view text, char* out, std::size_t room);

}  // namespace vrq::platform

#endif
