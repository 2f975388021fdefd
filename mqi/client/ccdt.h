// JSON client channel definition tables, in IBM's documented format:
//   {"channel": [{"name": "APP.SVRCONN", "type": "clientConnection",
//                 "clientConnection": {"connection": [{"host": "mq1", "port": 1414}],
//                                      "queueManager": "QM1"},
//                 "transmissionSecurity": {"cipherSpecification": "TLS_AES_256_GCM_SHA384"}}]}
// named by MQCNO.CCDTUrlPtr or MQCCDTURL as a file: URL or a path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "client_route.h"

namespace vrqsim::client {

struct CcdtChannel {
  std::string name;
  std::string queue_manager;        // empty: any
  std::vector<Endpoint> endpoints;
  std::string cipher_spec;          // empty: plaintext
  std::string certificate_label;
};

// The client-connection channels of a table, in file order (channels of other types are
// skipped); false with why when the text is not a valid table.
bool ParseCcdt(std::string_view text, std::vector<CcdtChannel>& out, std::string& why);

// The file a CCDT URL names ("file:///path", "file:path" or a plain path); empty when the
// URL has another scheme (http and ftp tables are not fetched).
std::string CcdtPath(std::string_view url);

// The channels of the table a URL names that serve the queue manager asked for (blank or
// "*name": see ccdt.cpp); MQRC_NONE, MQRC_CCDT_URL_ERROR (unreadable, malformed or unsupported
// table) or MQRC_Q_MGR_NAME_ERROR (no channel for that queue manager).
long CcdtChannelsFor(std::string_view url, const std::string& qmgr, std::vector<CcdtChannel>& out);

}  // namespace vrqsim::client
