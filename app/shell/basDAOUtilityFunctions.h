#pragma once
// Database routines of the shared utility module.
#include "dao/dao.h"

#include <cstdint>
#include <string>

// Opens the database at `path` through the engine's default workspace; creates it (and the
// folders on the way) when it or its folder does not exist. Returns no database (an empty handle)
// when the file is not a database; other errors of opening (the disk, a lock held elsewhere) and
// errors while creating are raised.
dao::Database OpenOrCreateDatabase(const std::string& path);

// Adds to the database at `path` (opened or created as above) a table named `tableName` with the
// names, data types and attributes of the fields of `source`. No rows are copied. Returns 0 when
// the table was added, 2 when a table of that name exists; other failures are raised.
std::int16_t CreateTableFromRecordset(const std::string& path, const std::string& tableName,
                                      const dao::Recordset& source);

// Deletes the table `tableName` from the database at `path` (opened or created as above) when it
// is there: the scratch tables of printing. False when the file is not a database.
bool DropTableIfPresent(const std::string& path, const std::string& tableName);
