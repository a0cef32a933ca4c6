#pragma once
// The shipments database: its tables and the saved queries the program opens by name.
#include "dao/backend.h"
#include "dao/dao.h"

#include <string>
#include <vector>

namespace shipments {

// The reports database the make-table queries write into.
inline constexpr const char* kReportsDatabase = "C:\\NETDATA\\PRODUCTN\\REPORTS.MDB";

struct SavedQuery {
    std::string name;
    std::string sql; // in the engine's dialect
};

// Every saved query of a new shipments database.
const std::vector<SavedQuery>& savedQueries();

// Creates the tables and saved queries in an empty database and marks it as secured by the
// workgroup (its accounts' permissions apply).
void createSchema(const dao::Database& db);

// Creates a new shipments database file (3204 if it exists).
dao::Database createShipmentsDatabase(const std::string& path);

// Makes the shipments tables and saved queries in an empty server database: the schema is made the
// one way it is made for files, in a temporary file, and copied in, so both kinds are the same.
void createOnServer(dao::Connection& server);
// The start-up's late marks read only the rows still to be marked (not every unshipped one): an
// index of part of the rows, which saved statements cannot declare, made in the engine's own SQL.
void createLateMarkIndex(dao::Connection& c);
// The board's indexes made where a database lacks them (one made before an index was part of the
// schema, or copied to a server by an earlier version, which left indexes behind); all or none.
void addMissingIndexes(dao::Connection& c);

} // namespace shipments
