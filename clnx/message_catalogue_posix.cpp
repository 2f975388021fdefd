// Log texts of the POSIX build: no catalogue, every text is used as it is.
#include "message_catalogue.h"

namespace vrq::net {

const char* CatalogueText(const char* format) { return format; }

}  // namespace vrq::net
