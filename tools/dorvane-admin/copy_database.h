#pragma once
// Copies every table of one shipments database into another, empty one: a SQLite file into a
// PostgreSQL server database and back. All or nothing: the destination gets everything or is left
// as it was.
#include "dao/backend.h"

#include <functional>
#include <string>
#include <vector>

namespace shipments {

struct CopiedTable {
    std::string table;
    long long rows = 0;
};

// Called now and then with the rows copied so far and the rows there are in all.
using CopyProgress = std::function<void(long long done, long long total)>;

// `destinationIsServer` chooses the column types written (the server's, or the file engine's).
// Refuses (3010) a destination that already holds tables.
std::vector<CopiedTable> copyDatabase(dao::Connection& source, dao::Connection& destination,
                                      bool destinationIsServer, const CopyProgress& progress = {});

// Makes the shipments tables and saved queries in an empty server database: the schema is made the
// one way it is made for files, in a temporary file, and copied in, so both kinds are the same.
void createOnServer(dao::Connection& server);

} // namespace shipments
