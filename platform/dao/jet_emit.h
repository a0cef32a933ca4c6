#pragma once
// Writes a statement tree as the SQL of one engine: the file engine's (SQLite) or a PostgreSQL
// server's. Each engine has an emitter of its own over one shared walk of the tree.
#include "jet_sql.h"
#include "jet_tree.h"

namespace dao::jet {

Translation emit(const tree::Statement& statement, const std::vector<ParameterDecl>& parameters,
                 Dialect dialect);

} // namespace dao::jet
