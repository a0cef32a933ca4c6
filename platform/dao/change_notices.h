#pragma once
// Live updates: which rows other workstations changed, and a record set that takes those rows in
// without being opened again.
//
// On a server, a trigger on each table notifies the listeners of a channel with the table and the
// key of each row changed (installed with the other server objects when a database is made or
// filled). In a file, a trigger writes the same into a change log kept in the file; a cheap check of
// whether another connection wrote (the file's data version) comes first, so an idle board reads
// nothing.
#include "backend.h"
#include "dao.h"

#include <map>
#include <set>
#include <string>

namespace dao {

inline constexpr const char* kChangeChannel = "dorvane_changes";
inline constexpr const char* kChangeLogTable = "MSysDaoChanges";

// Rows changed elsewhere since the last look.
struct ChangedRows {
    // Too many to name, or a table whose rows have no key: everything shown may have changed.
    bool everything = false;
    // Per table (its name in lower case), the changed rows' keys as text.
    std::map<std::string, std::set<std::string>> keys;

    bool empty() const { return !everything && keys.empty(); }
    void merge(const ChangedRows& other);
};

// Makes the changes of every table of the database known to other connections (a server's
// triggers, or a file's change log and its triggers). Safe to run again.
void installChangeNotices(Connection& conn);

// Watches one open database for other connections' committed changes.
class ChangeWatch {
public:
    // A file without a change log gets one when the database may be written; otherwise any write
    // elsewhere reads as `everything`.
    explicit ChangeWatch(const Database& db);
    // What other connections committed since the last call; cheap when nothing was.
    ChangedRows poll();

private:
    std::shared_ptr<detail::DatabaseState> db_;
    bool server_ = false;
    long long version_ = 0; // the file's data version last seen
    long long lastSeq_ = 0; // the last change read from the file's log
    bool logged_ = false;   // the file keeps a change log
};

// What a record set did with changed rows.
struct RowsRefreshed {
    std::vector<long> rows;  // positions (as AbsolutePosition) read again in place
    long held = -1;          // the row being edited: changed elsewhere, left as the clerk sees it
    bool membership = false; // rows may have joined or left the set: it must be opened again
};

// Reads again, by key, the rows of `rs` that changed (never the row being edited, nor the row at
// position `hold`, where a cell is being typed into), and says whether the set's membership can have
// changed. A change to another table the set reads counts as a change of every row.
RowsRefreshed refreshChangedRows(Recordset& rs, const ChangedRows& changes, long hold = -1);

// The key of the row at a position (0-based, as AbsolutePosition) as text; "" when there is none.
std::string rowKeyText(const Recordset& rs, long position);
// The position of the row with that key, or -1.
long positionOfKey(const Recordset& rs, const std::string& key);

} // namespace dao
