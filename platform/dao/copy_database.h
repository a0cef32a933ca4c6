#pragma once
// Copies every table of one database into another, empty one: a SQLite file into a PostgreSQL
// server database and back. All or nothing: the destination gets everything or is left
// as it was.
#include "backend.h"

#include <functional>
#include <string>
#include <vector>

namespace dao {

struct CopiedTable {
    std::string table;
    long long rows = 0;
};

// Called now and then with the rows copied so far and the rows there are in all.
using CopyProgress = std::function<void(long long done, long long total)>;

// `destinationIsServer` chooses the column types written (the server's, or the file engine's).
// Refuses (3010) a destination that already holds tables.
std::vector<CopiedTable> copyDatabase(Connection& source, Connection& destination,
                                      bool destinationIsServer, const CopyProgress& progress = {});

} // namespace dao
