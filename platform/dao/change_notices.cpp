// Live updates: notices of rows changed elsewhere, and record sets that read those rows again.
#include "change_notices.h"

#include "state.h"

#include <algorithm>
#include <limits>
#include <cctype>
#include <unordered_set>

namespace dao {

// The layer's handles hold their state privately; this is the one door live updates use.
struct LiveAccess {
    static const std::shared_ptr<detail::DatabaseState>& state(const Database& db) { return db.s_; }
    static const std::shared_ptr<detail::Cursor>& cursor(const Recordset& rs) { return rs.c_; }
};

namespace {

// More changes than this at once are not named one by one: what shows them is read again whole.
constexpr size_t kMostKeys = 500;
// The file's change log keeps this many of the latest changes; a reader further behind reads all.
constexpr int kLogKept = 10000;

std::string lower(std::string s) {
    for (char& ch : s)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

bool layerTable(const std::string& table) {
    return lower(table).rfind("msys", 0) == 0;
}

// The trigger function and one trigger per table, all in one block of the server's own language
// (quoted whole, so the layer's rewriting of names and placeholders never touches it). The key
// column is a table's one-column primary key; a table without one sends an empty key, which the
// listeners read as "anything of this table".
constexpr const char* kServerNotices = R"sql(
DECLARE t record;
BEGIN
CREATE OR REPLACE FUNCTION dao_notify_change() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
  IF TG_OP <> 'INSERT' THEN
    PERFORM pg_notify('dorvane_changes', TG_TABLE_NAME || chr(9) || coalesce(to_jsonb(OLD) ->> TG_ARGV[0], ''));
  END IF;
  IF TG_OP <> 'DELETE' THEN
    PERFORM pg_notify('dorvane_changes', TG_TABLE_NAME || chr(9) || coalesce(to_jsonb(NEW) ->> TG_ARGV[0], ''));
  END IF;
  RETURN NULL;
END $f$;
FOR t IN
  SELECT c.relname AS name,
         (SELECT a.attname FROM pg_index i
            JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0]
           WHERE i.indrelid = c.oid AND i.indisprimary AND i.indnatts = 1) AS key
    FROM pg_class c
   WHERE c.relkind = 'r' AND c.relnamespace = current_schema()::regnamespace
     AND lower(c.relname) NOT LIKE 'msys%'
LOOP
  EXECUTE format('DROP TRIGGER IF EXISTS dao_changes ON %I', t.name);
  EXECUTE format('CREATE TRIGGER dao_changes AFTER INSERT OR UPDATE OR DELETE ON %I '
                 'FOR EACH ROW EXECUTE PROCEDURE dao_notify_change(%L)', t.name, coalesce(t.key, ''));
END LOOP;
END
)sql";

void installFileLog(Connection& conn) {
    conn.execute(std::string("CREATE TABLE IF NOT EXISTS ") + kChangeLogTable +
                 " (Seq INTEGER PRIMARY KEY AUTOINCREMENT, TableName TEXT NOT NULL, RowKey)");
    conn.execute(std::string("CREATE TRIGGER IF NOT EXISTS dao_changes_kept AFTER INSERT ON ") +
                 kChangeLogTable + " BEGIN DELETE FROM " + kChangeLogTable + " WHERE Seq <= NEW.Seq - " +
                 std::to_string(kLogKept) + "; END");
    for (const auto& table : conn.tableNames()) {
        if (layerTable(table)) continue;
        std::string name = conn.quoteName(table), text = conn.quoteText(table);
        auto trigger = [&](const char* what, const char* rows) {
            conn.execute("CREATE TRIGGER IF NOT EXISTS " +
                         conn.quoteName("dao_changes_" + std::string(what) + "_" + table) + " AFTER " + what +
                         " ON " + name + " BEGIN INSERT INTO " + kChangeLogTable + " (TableName, RowKey) " +
                         rows + "; END");
        };
        trigger("INSERT", ("SELECT " + text + ", NEW.rowid").c_str());
        trigger("UPDATE", ("SELECT " + text + ", NEW.rowid UNION SELECT " + text + ", OLD.rowid").c_str());
        trigger("DELETE", ("SELECT " + text + ", OLD.rowid").c_str());
    }
}

bool hasTable(Connection& conn, const std::string& table) {
    auto names = conn.tableNames();
    return std::any_of(names.begin(), names.end(), [&](auto& n) { return lower(n) == lower(table); });
}

long long single(Connection& conn, const std::string& sql, const std::vector<StoredValue>& params = {}) {
    auto stmt = conn.prepare(sql);
    for (size_t i = 0; i < params.size(); ++i)
        stmt->bind(int(i + 1), params[i]);
    if (!stmt->step()) return 0;
    auto v = stmt->value(0);
    auto* n = std::get_if<std::int64_t>(&v);
    return n ? *n : 0;
}

std::string keyText(const StoredValue& key) {
    if (auto* n = std::get_if<std::int64_t>(&key)) return std::to_string(*n);
    if (auto* s = std::get_if<std::string>(&key)) return *s;
    if (auto* d = std::get_if<double>(&key)) return std::to_string(*d);
    return {};
}

} // namespace

void ChangedRows::merge(const ChangedRows& other) {
    everything = everything || other.everything;
    for (auto& [table, keys] : other.keys)
        this->keys[table].insert(keys.begin(), keys.end());
}

void installChangeNotices(Connection& conn) {
    if (conn.dialect() == jet::Dialect::Server)
        conn.execute("DO " + conn.quoteText(kServerNotices));
    else
        installFileLog(conn);
}

ChangeWatch::ChangeWatch(const Database& database) : db_(LiveAccess::state(database)) {
    if (!db_ || !db_->open()) raise(errc::Failed, "The database is closed.");
    Connection& conn = db_->conn();
    server_ = conn.dialect() == jet::Dialect::Server;
    if (server_) {
        conn.listen(kChangeChannel);
        return;
    }
    version_ = single(conn, "PRAGMA data_version");
    logged_ = hasTable(conn, kChangeLogTable);
    // A file made before live updates gets its log from the first program that may write it, unless
    // that program is inside a transaction (the log then comes with the next one to look).
    if (!logged_ && db_->writable && !conn.readOnly() && !conn.inTransaction()) {
        try {
            conn.begin();
            installFileLog(conn);
            conn.commit();
            logged_ = true;
        } catch (const Error&) {
            conn.rollback(); // another program holds the file: changes then read as "everything"
        }
    }
    if (logged_) lastSeq_ = single(conn, std::string("SELECT coalesce(max(Seq), 0) FROM ") + kChangeLogTable);
}

ChangedRows ChangeWatch::poll() {
    ChangedRows changes;
    if (!db_->open()) return changes;
    Connection& conn = db_->conn();
    if (server_) {
        for (const auto& notice : conn.takeNotices()) {
            auto tab = notice.find('\t');
            std::string key = tab == std::string::npos ? "" : notice.substr(tab + 1);
            if (key.empty())
                changes.everything = true;
            else
                changes.keys[lower(notice.substr(0, tab))].insert(key);
        }
    } else {
        long long version = single(conn, "PRAGMA data_version");
        if (version == version_) return changes;
        version_ = version;
        if (!logged_) {
            changes.everything = true;
            return changes;
        }
        std::string log = kChangeLogTable;
        // Changes older than the log keeps were missed: everything is read again.
        long long oldest = single(conn, "SELECT coalesce(min(Seq), 0) FROM " + log);
        if (oldest > lastSeq_ + 1) changes.everything = true;
        auto stmt =
            conn.prepare("SELECT Seq, TableName, RowKey FROM " + log + " WHERE Seq > ?1 ORDER BY Seq");
        stmt->bind(1, StoredValue(std::int64_t(lastSeq_)));
        size_t count = 0;
        while (stmt->step()) {
            lastSeq_ = std::get<std::int64_t>(stmt->value(0));
            if (++count > kMostKeys) changes.everything = true;
            if (changes.everything) continue;
            changes.keys[lower(std::get<std::string>(stmt->value(1)))].insert(keyText(stmt->value(2)));
        }
    }
    size_t count = 0;
    for (auto& [table, keys] : changes.keys)
        count += keys.size();
    if (count > kMostKeys) changes.everything = true;
    if (changes.everything) changes.keys.clear();
    return changes;
}

namespace {

using detail::Cursor;
using detail::RowSet;

// Whether the statement of a set reads `table` (by its name in lower case) anywhere.
bool reads(const RowSet& set, const std::string& table) {
    for (const auto& token : set.source.statement.body)
        if ((token.kind == jet::TokenKind::Name || token.kind == jet::TokenKind::Word) &&
            lower(token.text) == table)
            return true;
    return false;
}

std::string keyExpression(const RowSet& set) {
    bool system = set.keyColumn == "rowid" || set.keyColumn == "ctid";
    return "[" + set.key->alias + "]." + (system ? set.keyColumn : "[" + set.keyColumn + "]");
}

// Which of these keys meet the set's conditions now: its own statement, narrowed to them.
std::unordered_set<std::string> membersAmong(RowSet& set, const std::vector<std::string>& keys,
                                             bool numeric) {
    std::string list;
    for (const auto& k : keys)
        list += (list.empty() ? "" : ", ") + (numeric ? k : jet::quoteText(k));
    std::string key = keyExpression(set);
    auto body = jet::withCondition(set.source.statement.body, jet::tokenize(key + " IN (" + list + ")"));
    std::vector<StoredValue> params;
    std::unique_ptr<Statement> stmt;
    try {
        stmt = detail::prepareTranslated(*set.db, jet::withSelectList(body, key + " AS __dao_key"),
                                         set.source, params);
    } catch (const Error&) { // the order names a column of the select list: keep the list
        stmt = detail::prepareTranslated(*set.db, jet::withLeadingColumn(body, key, "__dao_key"), set.source,
                                         params);
    }
    std::unordered_set<std::string> members;
    while (stmt->step())
        members.insert(keyText(stmt->value(0)));
    return members;
}

long positionOf(const RowSet& set, size_t index) {
    if (set.deletedCount == 0) return long(index);
    return long(std::count_if(set.rows.begin(), set.rows.begin() + long(index),
                              [](const detail::Row& r) { return !r.deleted; }));
}

std::optional<size_t> indexOf(const RowSet& set, long position) {
    if (position < 0) return std::nullopt;
    long seen = -1;
    for (size_t i = 0; i < set.rows.size(); ++i)
        if (!set.rows[i].deleted && ++seen == position) return i;
    return std::nullopt;
}

} // namespace

RowsRefreshed refreshChangedRows(Recordset& rs, const ChangedRows& changes, long hold) {
    RowsRefreshed result;
    const auto& cursor = LiveAccess::cursor(rs);
    if (!cursor || cursor->closed || changes.empty()) return result;
    Cursor& c = *cursor;
    RowSet& set = *c.set;
    if (changes.everything) {
        result.membership = true;
        return result;
    }
    std::string own = set.key ? lower(set.key->table) : "";
    const std::set<std::string>* ownKeys = nullptr;
    for (const auto& [table, keys] : changes.keys) {
        if (table == own)
            ownKeys = &keys;
        else if (reads(set, table))
            result.membership = true; // a joined table: read whole again
    }
    if (!ownKeys || result.membership || set.keysPending) return result;
    if (!set.keyset && !set.key) {
        result.membership = true;
        return result;
    }
    // The set's rows of those keys; a key's type is the type the set holds its keys in.
    bool numeric = set.rows.empty() || std::holds_alternative<std::int64_t>(set.rows.front().key);
    std::unordered_map<std::string, size_t> found;
    std::unordered_set<std::string> wanted(ownKeys->begin(), ownKeys->end());
    for (size_t i = 0; i < set.rows.size() && found.size() < wanted.size(); ++i)
        if (!set.rows[i].deleted)
            if (auto k = keyText(set.rows[i].key); wanted.count(k)) found.emplace(k, i);
    std::vector<std::string> keys;
    for (const auto& k : *ownKeys)
        if (!numeric || std::all_of(k.begin(), k.end(),
                                    [](char ch) { return std::isdigit((unsigned char)ch) || ch == '-'; }))
            keys.push_back(k);
    auto members = membersAmong(set, keys, numeric);
    for (const auto& k : keys)
        if (members.count(k) != found.count(k)) result.membership = true; // joined or left
    // Rows still in the set are read again where they stand; the row being edited keeps what the
    // clerk sees, and its Update meets the changed row as before.
    std::vector<size_t> reread;
    for (const auto& [k, index] : found) {
        bool editing = (c.editMode == dbEditInProgress && c.editRow == long(index)) ||
                       (hold >= 0 && positionOf(set, index) == hold);
        if (editing) {
            result.held = positionOf(set, index);
            continue;
        }
        result.rows.push_back(positionOf(set, index));
        if (set.keyset && set.rows[index].loaded) {
            set.rows[index].loaded = false;
            set.rows[index].values.clear();
            reread.push_back(index);
        }
    }
    for (size_t index : reread)
        detail::loadRow(set, index);
    if (!set.keyset) result.membership = true; // rows read whole are only read again whole
    std::sort(result.rows.begin(), result.rows.end());
    return result;
}

std::string rowKeyText(const Recordset& rs, long position) {
    const auto& cursor = LiveAccess::cursor(rs);
    if (!cursor || cursor->closed) return {};
    if (position >= 0) detail::knowKeys(*cursor->set, size_t(position) + 1); // keys still to be read
    auto index = indexOf(*cursor->set, position);
    return index ? keyText(cursor->set->rows[*index].key) : std::string();
}

long positionOfKey(const Recordset& rs, const std::string& key) {
    const auto& cursor = LiveAccess::cursor(rs);
    if (!cursor || cursor->closed || key.empty()) return -1;
    RowSet& set = *cursor->set;
    // The first keys are read first; the rest only when the key is not among them.
    for (size_t count : {size_t(1), std::numeric_limits<size_t>::max()}) {
        detail::knowKeys(set, count);
        for (size_t i = 0; i < set.rows.size(); ++i)
            if (!set.rows[i].deleted && keyText(set.rows[i].key) == key) return positionOf(set, i);
        if (!set.keysPartial) break;
    }
    return -1;
}

} // namespace dao
