// The user name an MQNode carries, on POSIX systems: the library's own GetUserName.
#include "mq_node_internal.h"

namespace vrq::node {
int CurrentUserName(char* buffer, int* size) { return GetUserName(buffer, size); }
}  // namespace vrq::node
