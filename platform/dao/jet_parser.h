#pragma once
// Reads a statement body (its tokens, without the PARAMETERS declaration) into the dialect's tree.
// The whole text must be one statement of the dialect: anything else is refused with the engine's
// error (3075 naming what could not be read, 3142 for text after the statement's end).
#include "jet_sql.h"
#include "jet_tree.h"

namespace dao::jet {

tree::Statement parseTree(const Tokens& body);

// #date# contents as the engine reads them, as ISO text (yyyy-mm-dd[ hh:mm:ss]); 3075 otherwise.
std::string isoFromDateLiteral(const std::string& text);

} // namespace dao::jet
