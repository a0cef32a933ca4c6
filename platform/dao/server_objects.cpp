// Prepares a server database for the dialect. The objects are written in the server's own language
// in server_objects.sql; it runs as one DO block whose body is a quoted text, so the layer's
// rewriting of names and placeholders never touches it.
#include "server_objects.h"

namespace dao {

extern const char* const kServerObjectsSql;

void prepareServerDatabase(Connection& server) {
    server.execute("DO " + server.quoteText(kServerObjectsSql));
}

} // namespace dao
