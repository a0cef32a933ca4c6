#pragma once
// The user-interface routines of the shared utility module: list selections become query clauses,
// select-all runs publish their progress, lists are filled from record sets, windows centre
// themselves over others.
#include "dao/dao.h"

#include <cstdint>
#include <string>

class QListWidget;
class QWidget;

namespace basUtilityFunctions {

// True while SelectAllListItems is selecting; the list's selection handlers tell a select-all
// from a user's click by it.
extern bool gSelectAllActive;
// Progress of the running select-all, 0 to 100.
extern std::int16_t gSelectAllPercent;

// IN ("a","b") of the selected items, each quoted by the engine's quoting rule so that a customer
// named O"Brien makes a valid clause; "" when `control` is no list box or nothing is selected.
std::string BuildInClause(QWidget* control);
void SelectAllListItems(QListWidget& list);
void ClearListSelection(QListWidget& list);

// Fills the list with the named field of every record (Null values skipped, duplicates kept).
// Raises the engine's error when the record set is empty or has no such field.
void FillListFromRecordset(dao::Recordset& source, QListWidget& target, const std::string& fieldName);

} // namespace basUtilityFunctions

// Moves `window` so that it is centred over `reference`, kept on the screen.
void CenterFormOver(QWidget& window, const QWidget& reference);
