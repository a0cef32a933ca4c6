// Record sets. A dynaset is keyset-driven: opening it reads only the keys of its key table (the
// first table of the FROM clause) in the statement's order; rows are read by key a page at a time
// when they are first asked for, and only the pages read last are kept. An Update or Delete only
// succeeds when the row still holds the values read, so another connection's change is never
// overwritten unseen (3197), and a row deleted meanwhile reads as deleted (3167).
#include "state.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace dao {
namespace detail {
namespace {

constexpr const char* kKeyColumn = "__dao_key";
constexpr size_t kPageRows = 64;    // rows read by key in one statement
constexpr size_t kCachedPages = 64; // pages kept: some screens of a large board

std::uint64_t nextSetId() {
    static std::uint64_t lastId = 0;
    return ++lastId;
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Keys no field of a record set holds: the file engine's row number and the place a server stores a
// row without a key in (which moves when the row is changed).
bool systemKey(const std::string& column) {
    return column == "rowid" || column == "ctid";
}

std::string keyExpression(const jet::KeyTable& key, Connection& conn) {
    std::string column = conn.rowKey(key.table);
    return "[" + key.alias + "]." + (systemKey(column) ? column : "[" + column + "]");
}

// An expression column's type, from its first value that is not Null.
DataType typeOfValue(const FieldInfo& f, const StoredValue& value) {
    if (auto* s = std::get_if<std::string>(&value); s && f.dateIfText && runtime::Date::tryIso(*s)) return dbDate;
    return typeOfDeclared("", value);
}

void describeColumns(RowSet& set, Statement& stmt, int first, DatabaseState& db) {
    for (int i = first; i < stmt.columnCount(); ++i) {
        auto col = stmt.column(i);
        auto hint = size_t(i) < set.columnHints.size() ? set.columnHints[size_t(i)] : jet::ColumnHint::None;
        if (col.declType.empty() && hint == jet::ColumnHint::Date) col.declType = "datetime";
        auto f = std::make_shared<FieldInfo>();
        f->name = col.name;
        f->sourceTable = col.table;
        f->sourceField = col.column;
        StoredValue sample;
        if (col.declType.empty())
            for (auto& row : set.rows)
                if (row.loaded && !row.gone && !row.values.empty() &&
                    !isNull(row.values[size_t(i - first)])) {
                    sample = row.values[size_t(i - first)];
                    break;
                }
        f->dateIfText = col.declType.empty() && hint == jet::ColumnHint::DateIfText;
        f->type = col.declType.empty() ? typeOfValue(*f, sample) : typeOfDeclared(col.declType, sample);
        f->typeFromValues = col.declType.empty() && isNull(sample);
        f->attributes =
            (f->type == dbText || f->type == dbMemo || f->type == dbBinary || f->type == dbLongBinary)
                ? dbVariableField
                : dbFixedField;
        if (!col.table.empty())
            for (auto& def : db.tableColumns(col.table))
                if (sameName(def.name, col.column) && def.autoIncrement) f->attributes |= dbAutoIncrField;
        f->updatable = set.updatable && set.key && sameName(col.table, set.key->table) &&
                       !(f->attributes & dbAutoIncrField);
        if (f->updatable) f->attributes |= dbUpdatableField;
        set.fields.push_back(f);
    }
}

// Reads every row of a prepared statement; with `keyed`, column 0 is the row key.
void readRows(RowSet& set, Statement& stmt, bool keyed) {
    int count = stmt.columnCount();
    int first = keyed ? 1 : 0;
    while (stmt.step()) {
        Row row;
        if (keyed) row.key = stmt.value(0);
        row.values.reserve(size_t(count - first));
        for (int i = first; i < count; ++i)
            row.values.push_back(stmt.value(i));
        set.rows.push_back(std::move(row));
    }
}

// The keys in the statement's order through the narrow query (the first `first` of them when given
// and the statement can be cut short; nothing when it cannot).
std::unique_ptr<Statement> prepareKeys(RowSet& set, long first = 0) {
    std::vector<StoredValue> params;
    std::string key = keyExpression(*set.key, set.db->conn());
    auto body = set.source.statement.body;
    // Rows the order leaves equal come in the order of their keys on both engines: a server gives
    // them in no fixed order, and the file engine reads an index backwards for a descending order.
    body = jet::withLastOrderTerm(body, key);
    if (first > 0) {
        auto cut = jet::withTop(body, first);
        if (!cut) return nullptr;
        body = *cut;
    }
    auto narrow = jet::withSelectList(body, key + " AS " + kKeyColumn);
    try {
        return prepareTranslated(*set.db, narrow, set.source, params);
    } catch (const Error&) { // the order names a column of the select list: keep the list
        return prepareTranslated(*set.db, jet::withLeadingColumn(body, key, kKeyColumn), set.source, params);
    }
}

// Up to `most` keys; nothing when a key comes twice (a join that repeats the key table's rows),
// which a keyset cannot tell apart.
std::optional<std::vector<StoredValue>> readKeys(Statement& stmt, size_t most = SIZE_MAX) {
    std::vector<StoredValue> keys;
    std::unordered_set<StoredValue, KeyHash> seen;
    while (keys.size() < most && stmt.step()) {
        auto k = stmt.value(0);
        if (!seen.insert(k).second) return std::nullopt;
        keys.push_back(std::move(k));
    }
    return keys;
}

void settleTypes(RowSet& set, const std::vector<size_t>& indexes);

// Reads the rows of these keys into the set, whether or not they still meet its conditions; a key
// that is no longer there marks its row gone.
void fetchRows(RowSet& set, const std::vector<size_t>& indexes) {
    if (indexes.empty()) return;
    // Whole-number keys are written into the list; others (texts from the rows) are bound.
    std::string list;
    std::vector<const StoredValue*> bound;
    for (size_t i : indexes) {
        list += list.empty() ? "" : ", ";
        if (auto* n = std::get_if<std::int64_t>(&set.rows[i].key))
            list += std::to_string(*n);
        else {
            bound.push_back(&set.rows[i].key);
            list += "?" + std::to_string(set.fetchParams.size() + bound.size());
        }
    }
    auto stmt = set.db->conn().prepare(set.fetchSql + "(" + list + ")" + set.fetchTail);
    for (size_t i = 0; i < set.fetchParams.size(); ++i)
        stmt->bind(int(i + 1), set.fetchParams[i]);
    for (size_t i = 0; i < bound.size(); ++i)
        stmt->bind(int(set.fetchParams.size() + i + 1), *bound[i]);
    std::unordered_map<StoredValue, std::vector<StoredValue>, KeyHash> found;
    int count = stmt->columnCount();
    while (stmt->step()) {
        std::vector<StoredValue> values;
        values.reserve(size_t(count - 1));
        for (int c = 1; c < count; ++c)
            values.push_back(stmt->value(c));
        found.emplace(stmt->value(0), std::move(values));
    }
    for (size_t i : indexes) {
        Row& row = set.rows[i];
        auto it = found.find(row.key);
        row.loaded = true;
        row.gone = it == found.end();
        row.values = row.gone ? std::vector<StoredValue>() : std::move(it->second);
    }
    settleTypes(set, indexes);
}

// Expression columns take the type of their first value, as when the rows were read whole.
void settleTypes(RowSet& set, const std::vector<size_t>& indexes) {
    for (size_t f = 0; f < set.fields.size(); ++f) {
        auto& field = *set.fields[f];
        if (!field.typeFromValues) continue;
        for (size_t i : indexes)
            if (auto& row = set.rows[i]; !row.gone && !isNull(row.values[f])) {
                field.type = typeOfValue(field, row.values[f]);
                field.attributes =
                    (field.attributes & ~(dbVariableField | dbFixedField)) |
                    (field.type == dbText || field.type == dbLongBinary ? dbVariableField : dbFixedField);
                field.typeFromValues = false;
                break;
            }
    }
}

void forgetPage(RowSet& set, size_t page) {
    for (size_t i = page * kPageRows; i < std::min(set.rows.size(), (page + 1) * kPageRows); ++i) {
        set.rows[i].loaded = false;
        set.rows[i].values.clear();
        set.rows[i].values.shrink_to_fit();
    }
}

// Every row is read again when next needed.
void forgetRows(RowSet& set) {
    if (!set.keyset) return;
    for (auto& row : set.rows) {
        row.loaded = false;
        row.values = {};
    }
    set.cachedPages.clear();
}

} // namespace

// Makes row `index` readable: its page is read by key, the oldest page is let go.
void loadRow(RowSet& set, size_t index) {
    if (set.rows[index].loaded) return;
    size_t page = index / kPageRows;
    std::vector<size_t> indexes;
    for (size_t i = page * kPageRows; i < std::min(set.rows.size(), (page + 1) * kPageRows); ++i)
        if (!set.rows[i].loaded) indexes.push_back(i);
    fetchRows(set, indexes);
    std::erase(set.cachedPages, page);
    set.cachedPages.push_back(page);
    if (set.cachedPages.size() > kCachedPages) {
        forgetPage(set, set.cachedPages.front());
        set.cachedPages.erase(set.cachedPages.begin());
    }
}

namespace {

// Reads one row again (after this record set wrote it): a keyset's when it is next looked at, as a
// program that writes and moves on never needs it.
void reloadRow(RowSet& set, size_t index) {
    if (!set.key) return;
    if (!set.keyset) return fetchRows(set, {index});
    set.rows[index].loaded = false;
    set.rows[index].values.clear();
}

// A record set that is open; `live` also has all its keys, `liveTo` the first `count` of them (or
// all there are), `open` does not need them.
Cursor& open(const std::shared_ptr<Cursor>& c) {
    if (!c || c->closed) raise(errc::Failed, "The record set is closed.");
    return *c;
}

Cursor& liveTo(const std::shared_ptr<Cursor>& c, long count) {
    Cursor& cursor = open(c);
    knowKeys(*cursor.set, size_t(std::max(count, 0L)));
    return cursor;
}

Cursor& live(const std::shared_ptr<Cursor>& c) {
    return liveTo(c, std::numeric_limits<long>::max());
}

// With the keys up to the current record (or past it, to tell whether it is the end).
Cursor& liveToCurrent(const std::shared_ptr<Cursor>& c, long past = 0) {
    return liveTo(c, open(c).position + 1 + past);
}

bool atRow(const Cursor& c) {
    return c.position >= 0 && c.position < long(c.set->rows.size());
}

Row& currentRow(Cursor& c) {
    if (!atRow(c)) raise(errc::NoCurrentRecord, "There is no current record.");
    Row& row = c.set->rows[size_t(c.position)];
    if (row.deleted) raise(errc::RecordDeleted, "The current record has been deleted.");
    loadRow(*c.set, size_t(c.position));
    if (row.gone) raise(errc::RecordDeleted, "Another user deleted this record.");
    return row;
}

// Moves over deleted rows in the direction of travel.
void skipDeleted(Cursor& c, int step) {
    auto& rows = c.set->rows;
    while (c.position >= 0 && c.position < long(rows.size()) && rows[size_t(c.position)].deleted)
        c.position += step;
    c.position = std::clamp(c.position, -1L, long(rows.size()));
}

void requireWritable(const Cursor& c) {
    if (!c.set->db->writable)
        raise(errc::NoPermission,
              "You do not have permission to change the database '" + c.set->db->name + "'.");
    if (!c.set->updatable) raise(errc::ReadOnly, "This record set cannot be updated.");
}

// The file engine's own row number, which no field of the record set holds.
bool numberedByEngine(const RowSet& set) {
    return set.keyColumn == "rowid";
}

std::string rowKeyName(const RowSet& set, Connection& conn) {
    return systemKey(set.keyColumn) ? set.keyColumn : conn.quoteName(set.keyColumn);
}

// The field holding the key table's key column, if the record set reads it.
std::optional<size_t> keyField(const RowSet& set) {
    if (systemKey(set.keyColumn)) return std::nullopt;
    for (size_t i = 0; i < set.fields.size(); ++i)
        if (sameName(set.fields[i]->sourceTable, set.key->table) &&
            sameName(set.fields[i]->sourceField, set.keyColumn))
            return i;
    return std::nullopt;
}

// WHERE clause matching the row's key and every key-table value it was read with. Values compare
// exactly: a change of letter case by another user is a change.
std::string matchOriginal(const RowSet& set, const StoredValue& key, const std::vector<StoredValue>& values,
                          Connection& conn, std::vector<StoredValue>& params) {
    std::string where = " WHERE " + rowKeyName(set, conn) + " = ?" + std::to_string(params.size() + 1);
    params.push_back(key);
    for (size_t i = 0; i < set.fields.size(); ++i) {
        auto& f = *set.fields[i];
        if (!sameName(f.sourceTable, set.key->table)) continue;
        where +=
            " AND " + conn.sameValue(conn.quoteName(f.sourceField), "?" + std::to_string(params.size() + 1));
        params.push_back(values[i]);
    }
    return where;
}

[[noreturn]] void raiseConflict(RowSet& set, const StoredValue& key) {
    Connection& conn = set.db->conn();
    auto stmt = conn.prepare("SELECT 1 FROM " + conn.quoteName(set.key->table) + " WHERE " +
                             rowKeyName(set, conn) + " = ?1");
    stmt->bind(1, key);
    // A row kept where it is stored has moved when another user changed it: gone from its place
    // says changed or deleted, and either way the user's change was not written.
    if (set.keyColumn == "ctid")
        raise(errc::ChangedByOther, "Another user changed or deleted this record after you read it; your "
                                    "change was not saved. Refresh to see the record as it is now.");
    if (stmt->step())
        raise(errc::ChangedByOther, "Another user changed this record after you read it; your change was not "
                                    "saved. Refresh to see the record as it is now.");
    raise(errc::RecordDeleted, "Another user deleted this record; your change was not saved.");
}

// Runs an INSERT or UPDATE of one row and gives the key the row has afterwards as the database
// stores it (nothing when no row was written).
std::optional<StoredValue> writeReturningKey(const RowSet& set, Connection& conn, const std::string& sql,
                                             const std::vector<StoredValue>& params) {
    auto stmt = conn.prepare(sql + " RETURNING " + rowKeyName(set, conn));
    for (size_t i = 0; i < params.size(); ++i)
        stmt->bind(int(i + 1), params[i]);
    if (!stmt->step()) return std::nullopt;
    return stmt->value(0);
}

// A change made inside a transaction is remembered until the transaction ends.
void noteChange(RowSet& set, decltype(Change::what) what, size_t row) {
    size_t level = set.db->shared ? set.db->shared->levels.size() : 0;
    if (level > 0) set.journal.push_back({level, what, row});
}

void prepareKeyset(RowSet& set) {
    auto fetchBody =
        jet::withCondition(jet::withLeadingColumn(jet::withoutConditions(set.source.statement.body),
                                                  keyExpression(*set.key, set.db->conn()), kKeyColumn),
                           jet::tokenize(keyExpression(*set.key, set.db->conn()) + " IN (0)"));
    auto t = jet::translate(fetchBody, set.source.statement.parameters, set.db->conn().dialect());
    set.fetchParams = parameterValues(t, set.source);
    set.columnHints = t.columns;
    // The translation ends with the list "(0)": each page's keys take its place.
    auto at = t.sql.rfind("(0)");
    set.fetchSql = t.sql.substr(0, at);
    set.fetchTail = t.sql.substr(at + 3);
}

} // namespace

void levelEnded(RowSet& set, size_t level, bool commit) {
    // Changes made inside the level now belong to the level around it (or are for good).
    if (commit) {
        for (auto& ch : set.journal)
            ch.level = std::min(ch.level, level);
        std::erase_if(set.journal, [](const Change& ch) { return ch.level == 0; });
        return;
    }
    // Rolled back: rows added in it are gone again, rows deleted in it are back, and what is cached
    // may hold values that never were: read again.
    for (size_t k = set.journal.size(); k-- > 0;) {
        Change ch = set.journal[k];
        if (ch.level <= level) continue;
        set.journal.erase(set.journal.begin() + long(k));
        Row& row = set.rows[ch.row];
        if (ch.what == Change::Added && !row.deleted) {
            row.deleted = true;
            ++set.deletedCount;
        } else if (ch.what == Change::Deleted && row.deleted) {
            row.deleted = false;
            --set.deletedCount;
        }
        if (!set.keyset) reloadRow(set, ch.row);
    }
    forgetRows(set);
}

std::shared_ptr<RowSet> openRows(const std::shared_ptr<DatabaseState>& db, Source source, int type,
                                 int options) {
    if (source.statement.kind == jet::StatementKind::Crosstab) {
        auto set = openCrosstab(db, source);
        set->id = nextSetId();
        return set;
    }
    if (source.statement.kind != jet::StatementKind::Select)
        raise(errc::NotSupported, "An action query cannot be opened as a record set; execute it instead.");
    auto set = std::make_shared<RowSet>();
    set->db = db;
    set->type = type;
    set->id = nextSetId();
    set->source = std::move(source);
    if (type == dbOpenDynaset)
        if (auto key = jet::keyTable(set->source.statement.body); key && db->isTable(key->table)) {
            set->keyColumn = db->conn().rowKey(key->table);
            if (!set->keyColumn.empty()) set->key = key;
        }
    set->updatable = set->key && db->writable && !(options & dbReadOnly);

    if (set->key) {
        set->keyset = true;
        set->keysPending = true;
        prepareKeys(*set); // a statement that cannot run, or lacks a parameter, fails at open
        prepareKeyset(*set);
        // The columns are described from the statement that reads rows by key (a Null list fits a
        // key of any type).
        auto describe = db->conn().prepare(set->fetchSql + "(NULL)" + set->fetchTail);
        describeColumns(*set, *describe, 1, *db);
        std::erase_if(db->shared->rowSets, [](auto& w) { return w.expired(); });
        db->shared->rowSets.push_back(set);
        return set;
    }
    readWhole(*set);
    if (set->updatable) {
        std::erase_if(db->shared->rowSets, [](auto& w) { return w.expired(); });
        db->shared->rowSets.push_back(set);
    }
    return set;
}

void readWhole(RowSet& set) {
    std::vector<StoredValue> params;
    // Snapshots, forward-only sets and sets a keyset cannot hold are read whole.
    jet::Tokens body = set.key ? jet::withLeadingColumn(set.source.statement.body,
                                                        keyExpression(*set.key, set.db->conn()), kKeyColumn)
                               : set.source.statement.body;
    auto stmt = prepareTranslated(*set.db, body, set.source, params, &set.columnHints);
    readRows(set, *stmt, bool(set.key));
    set.fields.clear();
    describeColumns(set, *stmt, set.key ? 1 : 0, *set.db);
    if (set.key) prepareKeyset(set); // rows are still read again by key after a change
}

namespace {
// A join that repeats the key table's rows is read whole instead.
void readWholeInstead(RowSet& set) {
    set.keyset = false;
    set.keysPartial = false;
    set.rows.clear(); // what an earlier try read
    set.cachedPages.clear();
    set.id = nextSetId(); // bookmarks of rows read by key name no row now
    readWhole(set);
    set.keysPending = false;
}

// All the keys in order. After the first ones, the rest follow them: a key read first keeps its
// place (and its bookmark), as a key the set holds keeps it until the set is read again.
void readKeysNow(RowSet& set) {
    // Pending until they are read: a read that fails (a disk error, a lock held elsewhere) is tried
    // again at the next use instead of leaving a record set that looks empty.
    auto keys = readKeys(*prepareKeys(set));
    if (!keys) return readWholeInstead(set);
    std::unordered_set<StoredValue, KeyHash> known;
    if (set.keysPartial)
        for (const Row& row : set.rows)
            known.insert(row.key);
    else
        set.rows.clear();
    set.keysPending = set.keysPartial = false;
    set.rows.reserve(set.rows.size() + keys->size());
    for (auto& key : *keys)
        if (!known.count(key)) {
            Row row;
            row.key = std::move(key);
            row.loaded = false;
            set.rows.push_back(std::move(row));
        }
}

// Opening a large set reads only the keys of its first screens.
constexpr long kFirstKeys = 256;

// The first rows as read, one past them telling that more are still to be read.
void keepFirstRows(RowSet& set, std::vector<Row> rows) {
    set.keysPending = false;
    set.keysPartial = long(rows.size()) > kFirstKeys;
    rows.resize(std::min(rows.size(), size_t(kFirstKeys)));
    set.rows = std::move(rows);
}

// A server sends a statement's rows all at once: it is asked for the first rows only, whole with
// their keys, in one statement instead of one for the keys and one for the rows. False when the
// statement cannot be cut short.
bool readFirstRowsWhole(RowSet& set) {
    std::string key = keyExpression(*set.key, set.db->conn());
    if (!jet::withTop(set.source.statement.body, 1)) return false; // a TOP of its own
    auto body = jet::withTop(
        jet::withLeadingColumn(jet::withLastOrderTerm(set.source.statement.body, key), key, kKeyColumn),
        kFirstKeys + 1);
    std::vector<StoredValue> params;
    auto stmt = prepareTranslated(*set.db, *body, set.source, params);
    if (stmt->columnCount() != int(set.fields.size()) + 1) return false;
    std::vector<Row> rows;
    std::unordered_set<StoredValue, KeyHash> seen;
    while (long(rows.size()) <= kFirstKeys && stmt->step()) {
        Row row;
        row.key = stmt->value(0);
        if (!seen.insert(row.key).second) {
            readWholeInstead(set);
            return true;
        }
        for (int i = 1; i < stmt->columnCount(); ++i)
            row.values.push_back(stmt->value(i));
        rows.push_back(std::move(row));
    }
    keepFirstRows(set, std::move(rows));
    std::vector<size_t> all(set.rows.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    settleTypes(set, all);
    return true;
}

void readFirstKeys(RowSet& set) {
    // The file engine hands rows over as it finds them, and orders a large list best when not told
    // of a limit (with one, it may gather and sort every row first): its statement is left
    // unfinished after the first keys.
    bool server = set.db->conn().dialect() != jet::Dialect::File;
    if (server && readFirstRowsWhole(set)) return;
    auto stmt = prepareKeys(set, server ? kFirstKeys + 1 : 0);
    if (!stmt) return readKeysNow(set);
    auto keys = readKeys(*stmt, kFirstKeys + 1);
    if (!keys) return readWholeInstead(set);
    std::vector<Row> rows(keys->size());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].key = std::move((*keys)[i]);
        rows[i].loaded = false;
    }
    keepFirstRows(set, std::move(rows));
}
} // namespace

void knowKeys(RowSet& set, size_t count) {
    if (set.keysPending && count <= size_t(kFirstKeys)) readFirstKeys(set);
    if (set.keysPending || (set.keysPartial && count > set.rows.size())) readKeysNow(set);
}

} // namespace detail

using namespace detail;

// Navigation.

int Recordset::Type() const {
    return open(c_).set->type;
}
bool Recordset::atBOF() const {
    auto& c = liveTo(c_, 1);
    return c.position < 0 || c.set->rows.empty();
}
bool Recordset::atEOF() const {
    auto& c = liveToCurrent(c_);
    return c.position >= long(c.set->rows.size());
}

// Moving to the first or last record of an empty record set fails, as callers rely on.
void Recordset::MoveFirst() {
    auto& c = liveTo(c_, 1);
    if (c.set->type == dbOpenForwardOnly && c.position > 0)
        raise(errc::NotSupported, "A forward-only record set cannot move back.");
    if (long(c.set->rows.size()) == c.set->deletedCount) // while only the first keys are read, none is deleted
        raise(errc::NoCurrentRecord, "There is no current record: the record set is empty.");
    c.position = 0;
    skipDeleted(c, 1);
    c.editMode = dbEditNone;
}

void Recordset::MoveLast() {
    auto& c = live(c_);
    if (RecordCount() == 0)
        raise(errc::NoCurrentRecord, "There is no current record: the record set is empty.");
    c.position = long(c.set->rows.size()) - 1;
    skipDeleted(c, -1);
    c.editMode = dbEditNone;
}

void Recordset::MoveNext() {
    auto& c = liveToCurrent(c_, 1);
    if (atEOF())
        raise(errc::NoCurrentRecord, "There is no current record: the record set is past its last record.");
    ++c.position;
    skipDeleted(c, 1);
    c.editMode = dbEditNone;
}

void Recordset::MovePrevious() {
    auto& c = open(c_);
    if (c.set->type == dbOpenForwardOnly)
        raise(errc::NotSupported, "A forward-only record set cannot move back.");
    if (c.position < 0)
        raise(errc::NoCurrentRecord,
              "There is no current record: the record set is before its first record.");
    --c.position;
    skipDeleted(c, -1);
    c.editMode = dbEditNone;
}

void Recordset::Move(long rows) {
    for (; rows > 0; --rows)
        MoveNext();
    for (; rows < 0; ++rows)
        MovePrevious();
}

long Recordset::RecordCount() const {
    auto& set = *live(c_).set;
    return long(set.rows.size()) - set.deletedCount;
}

long Recordset::RecordsReadSoFar() const {
    auto& set = *liveTo(c_, 1).set;
    return long(set.rows.size()) - set.deletedCount;
}

bool Recordset::MoreRecordsToRead() const {
    return liveTo(c_, 1).set->keysPartial;
}

void Recordset::ReadAllRecords() {
    (void)live(c_);
}

long Recordset::AbsolutePosition() const {
    auto& c = liveToCurrent(c_);
    if (!atRow(c)) return -1;
    auto& rows = c.set->rows;
    if (c.set->deletedCount == 0) return c.position; // the grid asks for every painted row
    return long(
        std::count_if(rows.begin(), rows.begin() + c.position, [](const Row& r) { return !r.deleted; }));
}

void Recordset::setAbsolutePosition(long position) {
    auto& c = liveTo(c_, position < 0 ? 0 : position + 1); // no row is deleted while keys are still to read
    if (position < 0 || position >= long(c.set->rows.size()) - c.set->deletedCount)
        raise(errc::NoCurrentRecord, "There is no record at position " + std::to_string(position) + ".");
    auto& rows = c.set->rows;
    long i = position;
    if (c.set->deletedCount > 0)
        for (long seen = -1, j = 0;; ++j)
            if (!rows[size_t(j)].deleted && ++seen == position) {
                i = j;
                break;
            }
    c.position = i;
    c.editMode = dbEditNone;
}

// Fields.

int Recordset::FieldCount() const {
    return int(open(c_).set->fields.size());
}

Field Recordset::Fields(int index) const {
    auto& c = open(c_);
    if (index < 0 || index >= int(c.set->fields.size()))
        raise(errc::ItemNotFound, "The record set has no field number " + std::to_string(index) + ".");
    Field f;
    f.info_ = c.set->fields[size_t(index)];
    f.cursor_ = c_;
    f.index_ = index;
    return f;
}

Field Recordset::Fields(const std::string& name) const {
    auto& fields = open(c_).set->fields;
    // "Table.Field" names a field of that source table.
    auto dot = name.find('.');
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& f = *fields[i];
        if (sameName(f.name, name) ||
            (dot != std::string::npos && sameName(f.sourceTable, name.substr(0, dot)) &&
             sameName(f.name, name.substr(dot + 1))))
            return Fields(int(i));
    }
    raise(errc::ItemNotFound, "The record set has no field named '" + name + "'.");
}

const std::string& Field::Name() const {
    return info_->name;
}
DataType Field::Type() const {
    // An expression column's type comes from its first values.
    if (info_->typeFromValues && cursor_)
        if (Cursor& c = liveTo(cursor_, 1); !c.set->rows.empty()) loadRow(*c.set, 0);
    return info_->type;
}
long Field::Attributes() const {
    return info_->attributes;
}
long Field::Size() const {
    return info_->size;
}
const std::string& Field::SourceTable() const {
    return info_->sourceTable;
}
const std::string& Field::SourceField() const {
    return info_->sourceField;
}
void Field::setAttributes(long attributes) {
    if (cursor_) raise(errc::NotSupported, "The attributes of a record set's field cannot be changed.");
    info_->attributes = attributes;
}
void Field::setSize(long size) {
    info_->size = size;
}

runtime::Variant Field::Value() const {
    if (!cursor_) raise(errc::NotSupported, "A field of a table definition has no value.");
    Cursor& c = liveToCurrent(cursor_);
    if (c.editMode != dbEditNone)
        if (auto it = c.edits.find(index_); it != c.edits.end()) return it->second;
    if (c.editMode == dbEditAdd) return runtime::Variant::null();
    if (c.editMode == dbEditInProgress) return toVariant(c.original[size_t(index_)], info_->type);
    const StoredValue& value = currentRow(c).values[size_t(index_)]; // reading it may settle the type
    return toVariant(value, info_->type);
}

void Field::setValue(const runtime::Variant& value) {
    if (!cursor_) raise(errc::NotSupported, "A field of a table definition has no value.");
    Cursor& c = live(cursor_);
    if (c.editMode == dbEditNone)
        raise(errc::UpdateWithoutEdit, "Call Edit or AddNew before changing a field.");
    if (!info_->updatable)
        raise(errc::FieldNotUpdatable, "The field '" + info_->name + "' cannot be updated.");
    (void)toStored(value, info_->type); // a value that does not fit fails here, not at Update
    c.edits[index_] = value;
}

// Filters, clones, bookmarks.

const std::string& Recordset::Filter() const {
    return open(c_).filter;
}
void Recordset::setFilter(const std::string& expression) {
    open(c_).filter = expression;
}
const std::string& Recordset::Sort() const {
    return open(c_).sort;
}
void Recordset::setSort(const std::string& order) {
    open(c_).sort = order;
}

Recordset Recordset::OpenRecordset(int type, int options) const {
    auto& c = open(c_);
    Source source = c.set->source;
    if (!c.filter.empty())
        source.statement.body = jet::withCondition(source.statement.body, jet::tokenize(c.filter));
    if (!c.sort.empty()) source.statement.body = jet::withOrder(source.statement.body, jet::tokenize(c.sort));
    Recordset rs;
    rs.c_ = std::make_shared<Cursor>();
    rs.c_->set = openRows(c.set->db, source, type == dbOpenTable ? dbOpenDynaset : type,
                          options | (c.set->updatable ? 0 : dbReadOnly));
    return rs;
}

void Recordset::Requery() {
    auto& c = open(c_);
    c.set = openRows(c.set->db, c.set->source, c.set->type, c.set->updatable ? 0 : dbReadOnly);
    c.position = 0;
    c.editMode = dbEditNone;
    c.edits.clear();
}

Recordset Recordset::Clone() const {
    auto& c = liveTo(c_, 1);
    if (c.set->type == dbOpenForwardOnly)
        raise(errc::NotSupported, "A forward-only record set cannot be cloned.");
    Recordset rs;
    rs.c_ = std::make_shared<Cursor>();
    rs.c_->set = c.set;
    rs.c_->position = c.set->rows.empty() ? 0 : -1; // a clone has no current record until moved
    return rs;
}

// A bookmark names the record set's rows (shared by its clones) and the row by its place: rows are
// only ever added at the end (a deleted one stays, marked), so the place keeps naming the same record
// whatever is added or deleted, and whatever type the rows' keys have.
namespace {

struct Mark {
    std::uint64_t set;
    std::int64_t row;
};

runtime::Bytes bookmarkOf(const RowSet& set, size_t index) {
    Mark m{set.id, std::int64_t(index)};
    runtime::Bytes b(sizeof m);
    std::memcpy(b.data(), &m, sizeof m);
    return b;
}

std::optional<size_t> rowOfBookmark(RowSet& set, const runtime::Bytes& bookmark) {
    Mark m{};
    if (bookmark.size() != sizeof m) return std::nullopt;
    std::memcpy(&m, bookmark.data(), sizeof m);
    if (m.set != set.id || m.row < 0 || m.row >= std::int64_t(set.rows.size())) return std::nullopt;
    return size_t(m.row);
}

} // namespace

runtime::Bytes Recordset::Bookmark() const {
    auto& c = liveToCurrent(c_);
    currentRow(c);
    return bookmarkOf(*c.set, size_t(c.position));
}

void Recordset::setBookmark(const runtime::Bytes& bookmark) {
    auto& c = liveTo(c_, 1); // a bookmark names a row already read
    auto index = rowOfBookmark(*c.set, bookmark);
    if (!index)
        raise(errc::NotABookmark, "Not a valid bookmark: it belongs to another record set or an earlier "
                                  "reading of this one.");
    if (c.set->rows[*index].deleted) raise(errc::RecordDeleted, "The bookmarked record has been deleted.");
    c.position = long(*index);
    c.editMode = dbEditNone;
}

runtime::Bytes Recordset::LastModified() const {
    auto& c = live(c_);
    if (!c.lastModified)
        raise(errc::NoCurrentRecord, "No record has been added or changed through this record set.");
    auto& rows = c.set->rows;
    for (size_t i = rows.size(); i-- > 0;)
        if (rows[i].key == *c.lastModified && !rows[i].deleted) return bookmarkOf(*c.set, i);
    raise(errc::RecordDeleted, "The last changed record has been deleted.");
}

// Editing.

bool Recordset::Updatable() const {
    return open(c_).set->updatable;
}
int Recordset::EditMode() const {
    return open(c_).editMode;
}

void Recordset::AddNew() {
    auto& c = live(c_);
    requireWritable(c);
    c.edits.clear();
    c.editMode = dbEditAdd;
}

void Recordset::Edit() {
    auto& c = live(c_);
    requireWritable(c);
    c.original = currentRow(c).values; // a page read again meanwhile must not hide a change
    c.edits.clear();
    c.editRow = c.position;
    c.editMode = dbEditInProgress;
}

void Recordset::CancelUpdate() {
    auto& c = live(c_);
    if (c.editMode == dbEditNone) raise(errc::UpdateWithoutEdit, "CancelUpdate without AddNew or Edit.");
    c.edits.clear();
    c.editMode = dbEditNone;
}

void Recordset::Update() {
    auto& c = live(c_);
    if (c.editMode == dbEditNone) raise(errc::UpdateWithoutEdit, "Update without AddNew or Edit.");
    RowSet& set = *c.set;
    Connection& conn = set.db->conn();
    std::vector<StoredValue> params;
    std::vector<int> edited;
    params.reserve(c.edits.size());
    edited.reserve(c.edits.size());
    for (auto& [index, value] : c.edits) {
        params.push_back(toStored(value, set.fields[size_t(index)]->type));
        edited.push_back(index);
    }
    auto quotedNames = [&] {
        std::vector<std::string> names;
        for (int index : edited)
            names.push_back(conn.quoteName(set.fields[size_t(index)]->sourceField));
        return names;
    };
    const std::string table = conn.quoteName(set.key->table);

    if (c.editMode == dbEditAdd) {
        // Rows added one after another set the same fields: the statement is written once.
        if (set.insertSql.empty() || set.insertFields != edited) {
            const std::vector<std::string> names = quotedNames();
            std::string sql = "INSERT INTO " + table;
            if (names.empty())
                sql += " DEFAULT VALUES";
            else {
                std::string cols, marks;
                for (size_t i = 0; i < names.size(); ++i) {
                    cols += (i ? ", " : "") + names[i];
                    marks += (i ? ", ?" : "?") + std::to_string(i + 1);
                }
                sql += " (" + cols + ") VALUES (" + marks + ")";
            }
            set.insertSql = std::move(sql);
            set.insertFields = edited;
        }
        const std::string& sql = set.insertSql;
        Row row;
        if (numberedByEngine(set)) {
            conn.execute(sql, params);
            row.key = std::int64_t(conn.lastInsertKey());
        } else
            row.key = writeReturningKey(set, conn, sql, params).value();
        // Read by key when first looked at, as every row of a keyset: rows added in bulk (a
        // report's scratch table) are never read back one by one.
        row.loaded = false;
        set.rows.push_back(row);
        noteChange(set, Change::Added, set.rows.size() - 1);
        c.lastModified = row.key;
    } else {
        Row& row = set.rows[size_t(c.editRow)];
        const std::vector<std::string> names = quotedNames();
        if (!names.empty()) {
            std::string sql = "UPDATE " + table + " SET ";
            for (size_t i = 0; i < names.size(); ++i)
                sql += (i ? ", " : "") + names[i] + " = ?" + std::to_string(i + 1);
            sql += matchOriginal(set, row.key, c.original, conn, params);
            auto key = keyField(set);
            bool keyMoves = (key && c.edits.count(int(*key))) || set.keyColumn == "ctid";
            if (keyMoves) { // the row goes by its new key from now on
                auto changed = writeReturningKey(set, conn, sql, params);
                if (!changed) raiseConflict(set, row.key);
                row.key = *changed;
            } else if (conn.execute(sql, params) == 0)
                raiseConflict(set, row.key);
            noteChange(set, Change::Edited, size_t(c.editRow));
            reloadRow(set, size_t(c.editRow));
        }
        c.lastModified = row.key;
    }
    c.edits.clear();
    c.editMode = dbEditNone;
}

void Recordset::Delete() {
    auto& c = live(c_);
    requireWritable(c);
    Row& row = currentRow(c);
    RowSet& set = *c.set;
    Connection& conn = set.db->conn();
    std::vector<StoredValue> params;
    std::string sql = "DELETE FROM " + conn.quoteName(set.key->table) +
                      matchOriginal(set, row.key, row.values, conn, params);
    if (conn.execute(sql, params) == 0) raiseConflict(set, row.key);
    row.deleted = true;
    ++set.deletedCount;
    noteChange(set, Change::Deleted, size_t(c.position));
    c.editMode = dbEditNone;
}

void Recordset::Close() {
    if (c_) c_->closed = true;
}

} // namespace dao
