// Registration of a created queue manager in an MQ-style installation layout, so that
// tools discovering queue managers from mqs.ini and qm.ini find the stand-in's ones too.
#pragma once

#include <string>

namespace vrqsim {

// When VXWMQ_MQS_HOME names a configuration root: adds a QueueManager stanza for qm to
// <root>/mqs.ini (created with AllQueueManagers and LogDefaults stanzas when missing), makes
// qm the DefaultQueueManager when make_default is set or none is named yet, and writes
// <root>/qmgrs/<directory>/qm.ini with a Log stanza ("." becomes "!" in the directory).
// Does nothing without the variable. False with error set when a file cannot be written.
bool RegisterInInstallation(const std::string& qm, bool make_default, std::string& error);

}  // namespace vrqsim
