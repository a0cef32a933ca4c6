#pragma once
// Reads a statement body (its tokens, without the PARAMETERS declaration) into the dialect's tree.
// The whole text must be one statement of the dialect: anything else is refused with the engine's
// error (3075 naming what could not be read, 3142 for text after the statement's end).
#include "jet_sql.h"
#include "jet_tree.h"

namespace dao::jet {

tree::Statement parseTree(const Tokens& body);

// A filter (an expression) or a sort (ORDER BY's terms) alone: 3075 unless it reads whole, so that
// neither can close the statement's own parentheses or clauses when it is put in.
void checkCondition(const Tokens& condition);
void checkOrder(const Tokens& order);

// #date# contents as the engine reads them, as ISO text (yyyy-mm-dd[ hh:mm:ss]); 3075 otherwise.
std::string isoFromDateLiteral(const std::string& text);

} // namespace dao::jet
