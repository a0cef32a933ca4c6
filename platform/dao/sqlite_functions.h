#pragma once
// The engine's functions that SQLite lacks, registered on each connection the SQLite backend opens.
#include <sqlite3.h>

namespace dao {
void registerJetFunctions(sqlite3* db);
}
