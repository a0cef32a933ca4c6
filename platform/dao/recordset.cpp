// Record sets. A dynaset keeps the key of each row's key table (the first table of the FROM
// clause) and writes back by that key with optimistic concurrency: an Update or Delete only
// succeeds when the row still holds the values read, so another connection's change is never
// overwritten unseen (3197) and a row deleted meanwhile is reported (3167).
#include "state.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace dao {
namespace detail {
namespace {

constexpr const char* kKeyColumn = "__dao_key";

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string keyExpression(const jet::KeyTable& key) {
    return "[" + key.alias + "].rowid";
}

void describeColumns(RowSet& set, Statement& stmt, int first, DatabaseState& db) {
    for (int i = first; i < stmt.columnCount(); ++i) {
        auto col = stmt.column(i);
        auto f = std::make_shared<FieldInfo>();
        f->name = col.name;
        f->sourceTable = col.table;
        f->sourceField = col.column;
        StoredValue sample;
        if (col.declType.empty())
            for (auto& row : set.rows)
                if (!isNull(row.values[size_t(i - first)])) {
                    sample = row.values[size_t(i - first)];
                    break;
                }
        f->type = typeOfDeclared(col.declType, sample);
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
        if (keyed) {
            auto k = stmt.value(0);
            row.key = std::holds_alternative<std::int64_t>(k) ? std::get<std::int64_t>(k) : 0;
        }
        row.values.reserve(size_t(count - first));
        for (int i = first; i < count; ++i)
            row.values.push_back(stmt.value(i));
        set.rows.push_back(std::move(row));
    }
}

// The row of key `key` as the statement now delivers it, if it still qualifies.
std::optional<Row> fetchByKey(RowSet& set, std::int64_t key) {
    auto body = jet::withCondition(
        jet::withLeadingColumn(set.source.statement.body, keyExpression(*set.key), kKeyColumn),
        jet::tokenize(keyExpression(*set.key) + " = " + std::to_string(key)));
    std::vector<StoredValue> params;
    auto stmt = prepareTranslated(*set.db, body, set.source, params);
    RowSet scratch;
    readRows(scratch, *stmt, true);
    if (scratch.rows.empty()) return std::nullopt;
    return scratch.rows.front();
}

Cursor& live(const std::shared_ptr<Cursor>& c) {
    if (!c || c->closed) raise(errc::Failed, "The record set is closed.");
    return *c;
}

bool atRow(const Cursor& c) {
    return c.position >= 0 && c.position < long(c.set->rows.size());
}

Row& currentRow(Cursor& c) {
    if (!atRow(c)) raise(errc::NoCurrentRecord, "There is no current record.");
    Row& row = c.set->rows[size_t(c.position)];
    if (row.deleted) raise(errc::RecordDeleted, "The current record has been deleted.");
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

// WHERE clause matching the row's key and every key-table value it was read with.
std::string matchOriginal(const RowSet& set, const Row& row, Connection& conn,
                          std::vector<StoredValue>& params) {
    std::string where = " WHERE rowid = ?" + std::to_string(params.size() + 1);
    params.push_back(row.key);
    for (size_t i = 0; i < set.fields.size(); ++i) {
        auto& f = *set.fields[i];
        if (!sameName(f.sourceTable, set.key->table)) continue;
        where += " AND " + conn.quoteName(f.sourceField) + " IS ?" + std::to_string(params.size() + 1);
        params.push_back(row.values[i]);
    }
    return where;
}

[[noreturn]] void raiseConflict(RowSet& set, std::int64_t key) {
    Connection& conn = set.db->conn();
    auto stmt = conn.prepare("SELECT 1 FROM " + conn.quoteName(set.key->table) + " WHERE rowid = ?1");
    stmt->bind(1, key);
    if (stmt->step())
        raise(errc::ChangedByOther, "Another user changed this record after you read it; your change was not "
                                    "saved. Refresh to see the record as it is now.");
    raise(errc::RecordDeleted, "Another user deleted this record; your change was not saved.");
}

} // namespace

std::shared_ptr<RowSet> openRows(const std::shared_ptr<DatabaseState>& db, Source source, int type,
                                 int options) {
    if (source.statement.kind == jet::StatementKind::Crosstab) return openCrosstab(db, source);
    if (source.statement.kind != jet::StatementKind::Select)
        raise(errc::NotSupported, "An action query cannot be opened as a record set; execute it instead.");
    auto set = std::make_shared<RowSet>();
    set->db = db;
    set->type = type;
    set->source = std::move(source);
    if (type == dbOpenDynaset)
        if (auto key = jet::keyTable(set->source.statement.body); key && db->isTable(key->table))
            set->key = key;
    set->updatable = set->key && db->writable && !(options & dbReadOnly);

    jet::Tokens body =
        set->key ? jet::withLeadingColumn(set->source.statement.body, keyExpression(*set->key), kKeyColumn)
                 : set->source.statement.body;
    std::vector<StoredValue> params;
    auto stmt = prepareTranslated(*db, body, set->source, params);
    readRows(*set, *stmt, bool(set->key));
    describeColumns(*set, *stmt, set->key ? 1 : 0, *db);
    return set;
}

} // namespace detail

using namespace detail;

// Navigation.

int Recordset::Type() const {
    return live(c_).set->type;
}
bool Recordset::atBOF() const {
    auto& c = live(c_);
    return c.position < 0 || c.set->rows.empty();
}
bool Recordset::atEOF() const {
    auto& c = live(c_);
    return c.position >= long(c.set->rows.size());
}

// Moving to the first or last record of an empty record set fails, as callers rely on.
void Recordset::MoveFirst() {
    auto& c = live(c_);
    if (c.set->type == dbOpenForwardOnly && c.position > 0)
        raise(errc::NotSupported, "A forward-only record set cannot move back.");
    if (RecordCount() == 0)
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
    auto& c = live(c_);
    if (atEOF())
        raise(errc::NoCurrentRecord, "There is no current record: the record set is past its last record.");
    ++c.position;
    skipDeleted(c, 1);
    c.editMode = dbEditNone;
}

void Recordset::MovePrevious() {
    auto& c = live(c_);
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

long Recordset::AbsolutePosition() const {
    auto& c = live(c_);
    if (!atRow(c)) return -1;
    auto& rows = c.set->rows;
    if (c.set->deletedCount == 0) return c.position; // the grid asks for every painted row
    return long(
        std::count_if(rows.begin(), rows.begin() + c.position, [](const Row& r) { return !r.deleted; }));
}

void Recordset::setAbsolutePosition(long position) {
    auto& c = live(c_);
    if (position < 0 || position >= RecordCount())
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
    return int(live(c_).set->fields.size());
}

Field Recordset::Fields(int index) const {
    auto& c = live(c_);
    if (index < 0 || index >= int(c.set->fields.size()))
        raise(errc::ItemNotFound, "The record set has no field number " + std::to_string(index) + ".");
    Field f;
    f.info_ = c.set->fields[size_t(index)];
    f.cursor_ = c_;
    f.index_ = index;
    return f;
}

Field Recordset::Fields(const std::string& name) const {
    auto& fields = live(c_).set->fields;
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
    Cursor& c = live(cursor_);
    if (c.editMode != dbEditNone)
        if (auto it = c.edits.find(index_); it != c.edits.end()) return it->second;
    if (c.editMode == dbEditAdd) return runtime::Variant::null();
    return toVariant(currentRow(c).values[size_t(index_)], info_->type);
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
    return live(c_).filter;
}
void Recordset::setFilter(const std::string& expression) {
    live(c_).filter = expression;
}
const std::string& Recordset::Sort() const {
    return live(c_).sort;
}
void Recordset::setSort(const std::string& order) {
    live(c_).sort = order;
}

Recordset Recordset::OpenRecordset(int type, int options) const {
    auto& c = live(c_);
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
    auto& c = live(c_);
    c.set = openRows(c.set->db, c.set->source, c.set->type, c.set->updatable ? 0 : dbReadOnly);
    c.position = 0;
    c.editMode = dbEditNone;
    c.edits.clear();
}

Recordset Recordset::Clone() const {
    auto& c = live(c_);
    if (c.set->type == dbOpenForwardOnly)
        raise(errc::NotSupported, "A forward-only record set cannot be cloned.");
    Recordset rs;
    rs.c_ = std::make_shared<Cursor>();
    rs.c_->set = c.set;
    rs.c_->position = c.set->rows.empty() ? 0 : -1; // a clone has no current record until moved
    return rs;
}

namespace {
runtime::Bytes bookmarkOf(long position) {
    runtime::Bytes b(sizeof position);
    std::memcpy(b.data(), &position, sizeof position);
    return b;
}
} // namespace

runtime::Bytes Recordset::Bookmark() const {
    auto& c = live(c_);
    currentRow(c);
    return bookmarkOf(c.position);
}

void Recordset::setBookmark(const runtime::Bytes& bookmark) {
    auto& c = live(c_);
    long position = -1;
    if (bookmark.size() == sizeof position) std::memcpy(&position, bookmark.data(), sizeof position);
    if (position < 0 || position >= long(c.set->rows.size()))
        raise(errc::NoCurrentRecord, "The bookmark does not belong to this record set.");
    if (c.set->rows[size_t(position)].deleted)
        raise(errc::RecordDeleted, "The bookmarked record has been deleted.");
    c.position = position;
    c.editMode = dbEditNone;
}

runtime::Bytes Recordset::LastModified() const {
    auto& c = live(c_);
    if (!c.lastModified)
        raise(errc::NoCurrentRecord, "No record has been added or changed through this record set.");
    auto& rows = c.set->rows;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].key == *c.lastModified && !rows[i].deleted) return bookmarkOf(long(i));
    raise(errc::RecordDeleted, "The last changed record has been deleted.");
}

// Editing.

bool Recordset::Updatable() const {
    return live(c_).set->updatable;
}
int Recordset::EditMode() const {
    return live(c_).editMode;
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
    currentRow(c);
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
    std::string table = conn.quoteName(set.key->table);
    std::vector<StoredValue> params;
    std::vector<std::string> names;
    for (auto& [index, value] : c.edits) {
        auto& f = *set.fields[size_t(index)];
        names.push_back(conn.quoteName(f.sourceField));
        params.push_back(toStored(value, f.type));
    }

    if (c.editMode == dbEditAdd) {
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
        conn.execute(sql, params);
        std::int64_t key = conn.lastInsertKey();
        Row row;
        if (auto fetched = fetchByKey(set, key))
            row = *fetched;
        else { // the new row lies outside the statement's conditions: keep what was written
            row.key = key;
            row.values.assign(set.fields.size(), StoredValue());
            size_t k = 0;
            for (auto& [index, value] : c.edits)
                row.values[size_t(index)] = params[k++];
        }
        set.rows.push_back(std::move(row));
        c.lastModified = key;
    } else {
        Row& row = set.rows[size_t(c.editRow)];
        if (!names.empty()) {
            std::string sql = "UPDATE " + table + " SET ";
            for (size_t i = 0; i < names.size(); ++i)
                sql += (i ? ", " : "") + names[i] + " = ?" + std::to_string(i + 1);
            sql += matchOriginal(set, row, conn, params);
            if (conn.execute(sql, params) == 0) raiseConflict(set, row.key);
            if (auto fetched = fetchByKey(set, row.key))
                row.values = fetched->values;
            else {
                size_t k = 0;
                for (auto& [index, value] : c.edits)
                    row.values[size_t(index)] = params[k++];
            }
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
    std::string sql = "DELETE FROM " + conn.quoteName(set.key->table) + matchOriginal(set, row, conn, params);
    if (conn.execute(sql, params) == 0) raiseConflict(set, row.key);
    row.deleted = true;
    ++set.deletedCount;
    c.editMode = dbEditNone;
}

void Recordset::Close() {
    if (c_) c_->closed = true;
}

} // namespace dao
