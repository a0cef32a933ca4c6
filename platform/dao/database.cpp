// Databases: statements, saved queries (rows of a table inside the database) and table definitions.
#include "paths/windows_path.h"
#include "state.h"

#include "runtime/clock.h"

#include <algorithm>
#include <cctype>

namespace dao {
namespace detail {
namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool isSystemTable(const std::string& name) {
    return lower(name).rfind("msys", 0) == 0;
}

} // namespace

// Asked at every open of a record set: on a server, a wait for it each time unless known.
bool DatabaseState::isTable(const std::string& table) {
    const std::string name = lower(table);
    if (tablesKnown.count(name)) return true;
    tablesKnown.clear();
    for (auto& n : conn().tableNames())
        tablesKnown.insert(lower(n));
    return tablesKnown.count(name) > 0;
}

std::optional<std::string> DatabaseState::savedQuery(const std::string& query) {
    auto stmt = conn().prepare(std::string("SELECT SQL FROM ") + kQueryTable + " WHERE Name = ?1");
    stmt->bind(1, query);
    if (stmt->step()) return std::get<std::string>(stmt->value(0));
    return std::nullopt;
}

const std::vector<ColumnDefinition>& DatabaseState::tableColumns(const std::string& table) {
    auto key = lower(table);
    auto it = tableColumnsCache.find(key);
    if (it == tableColumnsCache.end()) it = tableColumnsCache.emplace(key, conn().tableColumns(table)).first;
    return it->second;
}

// The value of one placeholder; false when the query's parameter has not been given one.
bool parameterValue(const std::string& slot, const Source& source, StoredValue& value) {
    if (slot == "Date()" || slot == "Now()") {
        value = (slot == "Date()" ? runtime::Today() : runtime::Now()).iso();
        return true;
    }
    auto& decls = source.statement.parameters;
    for (size_t i = 0; i < decls.size(); ++i) {
        if (lower(decls[i].name) != lower(slot)) continue;
        if (i >= source.given.size() || !source.given[i]) return false;
        value = decls[i].type.empty() ? toStored(source.values[i])
                                      : toStored(source.values[i], typeOfParameterDeclaration(decls[i].type));
        return true;
    }
    return false;
}

std::vector<StoredValue> parameterValues(const jet::Translation& t, const Source& source) {
    std::vector<StoredValue> out(t.placeholderNames.size());
    long missing = 0;
    for (size_t k = 0; k < t.placeholderNames.size(); ++k)
        if (!parameterValue(t.placeholderNames[k], source, out[k])) ++missing;
    if (missing)
        raise(errc::TooFewParameters,
              "Too few parameters: " + std::to_string(missing) + " parameter(s) of the query have no value.");
    return out;
}

std::unique_ptr<Statement> prepareTranslated(DatabaseState& db, const jet::Tokens& body, const Source& source,
                                             std::vector<StoredValue>& params, std::vector<jet::ColumnHint>* hints) {
    auto t = jet::translate(body, source.statement.parameters, db.conn().dialect());
    params = parameterValues(t, source);
    if (hints) *hints = t.columns;
    auto stmt = db.conn().prepare(t.sql);
    for (size_t i = 0; i < params.size(); ++i)
        stmt->bind(int(i + 1), params[i]);
    return stmt;
}

// SELECT ... INTO table [IN 'file']: the new table gets the declared types of the selected columns.
// A table of that name already there is refused (3010), never replaced.
long long runMakeTable(const std::shared_ptr<DatabaseState>& db, const Source& source) {
    auto make = jet::splitMakeTable(source.statement.body);
    if (!make.externalFile.empty() && isServerName(db->path)) return makeTableInFile(*db, source, make);
    Connection& c = db->conn();
    std::string schema = "main";
    if (!make.externalFile.empty()) {
        schema = "dao_external";
        std::string path = paths::resolve(make.externalFile);
        OpenOptions probe;
        refuseExistingTable(openSqlite(path, probe)->tableNames(), make.table); // 3024/3044 first
        c.attach(path, schema);
    } else if (db->isTable(make.table))
        raise(errc::TableExists, "The table '" + make.table + "' already exists.");
    struct Detach {
        Connection& c;
        std::string schema;
        ~Detach() {
            if (schema != "main") try {
                    c.detach(schema);
                } catch (...) {
                }
        }
    } detach{c, schema};

    std::vector<StoredValue> params;
    auto stmt = prepareTranslated(*db, make.select, source, params);
    std::string columns;
    for (int i = 0; i < stmt->columnCount(); ++i) {
        auto col = stmt->column(i);
        DataType type = typeOfDeclared(col.declType, std::monostate{});
        columns += (i ? ", " : "") + c.quoteName(col.name) + " " +
                   (col.declType.empty() ? std::string() : c.columnType(type, false));
    }
    // The database's own table goes where its other tables are (a server has no schema "main").
    std::string target =
        schema == "main" ? c.quoteName(make.table) : c.quoteName(schema) + "." + c.quoteName(make.table);
    auto t = jet::translate(make.select, source.statement.parameters, c.dialect());
    c.execute("CREATE TABLE " + target + " (" + columns + ")");
    db->schemaMayHaveChanged();
    return c.execute("INSERT INTO " + target + " " + t.sql, params);
}

long long runAction(const std::shared_ptr<DatabaseState>& db, const Source& source) {
    if (!db->writable)
        raise(errc::NoPermission, "You do not have permission to change the database '" + db->name + "'.");
    switch (source.statement.kind) {
    case jet::StatementKind::Select:
    case jet::StatementKind::Crosstab:
        raise(errc::CannotExecuteSelect, "A select query cannot be executed; open it as a record set.");
    case jet::StatementKind::MakeTable:
        return runMakeTable(db, source);
    default: {
        auto t = jet::translate(source.statement.body, source.statement.parameters, db->conn().dialect());
        long long n = db->conn().execute(t.sql, parameterValues(t, source));
        // Only a definition changes tables or columns; an INSERT, UPDATE or DELETE leaves what
        // was learnt of them (asking again is a wait for a server at the next open).
        if (source.statement.kind == jet::StatementKind::Definition) db->schemaMayHaveChanged();
        return n;
    }
    }
}

Source sourceOf(jet::Statement statement) {
    Source s;
    s.values.resize(statement.parameters.size());
    s.given.assign(statement.parameters.size(), false);
    s.statement = std::move(statement);
    return s;
}

} // namespace detail

using namespace detail;

namespace {

// Databases of the same file share one connection; what this object may do is its own.
void requireWritable(const DatabaseState& db) {
    if (!db.writable)
        raise(errc::NoPermission, "You do not have permission to change the database '" + db.name + "'.");
}

DatabaseState& live(const std::shared_ptr<DatabaseState>& s) {
    if (!s || !s->open()) raise(errc::Failed, "The database is closed.");
    return *s;
}

// Names a saved query uses without declaring them are parameters too: each one the backend cannot
// place is added, in the order they are found, after the declared ones.
void discoverParameters(DatabaseState& db, jet::Statement& statement) {
    jet::Tokens body;
    switch (statement.kind) {
    case jet::StatementKind::Select:
    case jet::StatementKind::Action:
        body = statement.body;
        break;
    case jet::StatementKind::MakeTable:
        body = jet::splitMakeTable(statement.body).select;
        break;
    default:
        return;
    }
    for (int found = 0; found < 64; ++found) {
        auto name =
            db.conn().unknownName(jet::translate(body, statement.parameters, db.conn().dialect()).sql);
        if (!name || name->find('.') != std::string::npos) return;
        statement.parameters.push_back({*name, ""});
    }
}

} // namespace

QueryDef Database::makeQueryDef(const std::string& name, const std::string& sql) const {
    const auto& db = s_;
    QueryDef q;
    q.q_ = std::make_shared<QueryState>();
    q.q_->db = db;
    q.q_->name = name;
    q.q_->sql = sql;
    q.q_->statement = jet::parse(sql);
    if (auto it = db->parametersFound.find(sql); it != db->parametersFound.end())
        q.q_->statement.parameters = it->second;
    else {
        discoverParameters(*db, q.q_->statement);
        db->parametersFound.emplace(sql, q.q_->statement.parameters);
    }
    q.q_->values.resize(q.q_->statement.parameters.size());
    q.q_->given.assign(q.q_->statement.parameters.size(), false);
    return q;
}

namespace {

bool looksLikeStatement(const std::string& text) {
    std::string head;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == '[') break;
        head += char(std::toupper(static_cast<unsigned char>(c)));
    }
    return head == "SELECT" || head == "TRANSFORM" || head == "PARAMETERS" || text.rfind('(', 0) == 0;
}

} // namespace

const std::string& Database::Name() const {
    return live(s_).name;
}
bool Database::Updatable() const {
    return live(s_).writable;
}

void Database::Close() {
    // The file's connection stays open while other database objects of the process use it.
    if (s_) s_->shared.reset();
}

Recordset Database::OpenRecordset(const std::string& source, int type, int options) const {
    auto& db = live(s_);
    std::string sql;
    if (looksLikeStatement(source))
        sql = source;
    else if (db.isTable(source))
        sql = "SELECT * FROM [" + source + "]";
    else if (auto saved = db.savedQuery(source))
        sql = *saved;
    else
        raise(errc::InputNotFound, "There is no table or query named '" + source + "'.");
    Recordset rs;
    rs.c_ = std::make_shared<Cursor>();
    rs.c_->set = openRows(s_, sourceOf(jet::parse(sql)), type == dbOpenTable ? dbOpenDynaset : type, options);
    return rs;
}

long long Database::Execute(const std::string& sql, int /*options*/) const {
    auto& db = live(s_);
    db.recordsAffected = runAction(s_, sourceOf(jet::parse(sql)));
    return db.recordsAffected;
}

long long Database::RecordsAffected() const {
    return live(s_).recordsAffected;
}

QueryDef Database::QueryDefs(const std::string& name) const {
    auto sql = live(s_).savedQuery(name);
    if (!sql) raise(errc::ItemNotFound, "There is no saved query named '" + name + "'.");
    return makeQueryDef(name, *sql);
}

std::vector<std::string> Database::QueryDefNames() const {
    auto stmt = live(s_).conn().prepare(std::string("SELECT Name FROM ") + kQueryTable + " ORDER BY Name");
    std::vector<std::string> names;
    while (stmt->step())
        names.push_back(std::get<std::string>(stmt->value(0)));
    return names;
}

QueryDef Database::CreateQueryDef(const std::string& name, const std::string& sql) const {
    auto& db = live(s_);
    jet::Statement statement = jet::parse(sql); // a statement that cannot be read is refused now
    if (!name.empty()) {
        if (!db.writable)
            raise(errc::NoPermission, "You do not have permission to change the database '" + db.name + "'.");
        if (db.savedQuery(name))
            raise(errc::TableExists, "A saved query named '" + name + "' already exists.");
        db.conn().execute(std::string("INSERT INTO ") + kQueryTable + " (Name, SQL) VALUES (?1, ?2)",
                          {name, sql});
    }
    return makeQueryDef(name, sql);
}

void Database::DeleteQueryDef(const std::string& name) const {
    auto& db = live(s_);
    requireWritable(db);
    if (db.conn().execute(std::string("DELETE FROM ") + kQueryTable + " WHERE Name = ?1", {name}) == 0)
        raise(errc::ItemNotFound, "There is no saved query named '" + name + "'.");
}

std::vector<TableDef> Database::TableDefs() const {
    std::vector<TableDef> out;
    for (auto& name : live(s_).conn().tableNames())
        if (!isSystemTable(name)) out.push_back(TableDefs(name));
    return out;
}

TableDef Database::TableDefs(const std::string& name) const {
    auto& db = live(s_);
    if (!db.isTable(name) || isSystemTable(name))
        raise(errc::ItemNotFound, "There is no table named '" + name + "'.");
    TableDef td = CreateTableDef(name);
    for (auto& col : db.conn().tableColumns(name)) {
        Field f = td.CreateField(col.name, typeOfDeclared(col.declType, std::monostate{}));
        if (col.autoIncrement) f.setAttributes(f.Attributes() | dbAutoIncrField);
        td.AppendField(f);
    }
    return td;
}

TableDef Database::CreateTableDef(const std::string& name) const {
    TableDef td;
    td.s_ = std::make_shared<TableDefState>();
    td.s_->db = s_;
    td.s_->name = name;
    return td;
}

void Database::AppendTableDef(const TableDef& table) const {
    auto& db = live(s_);
    if (!db.writable)
        raise(errc::NoPermission, "You do not have permission to change the database '" + db.name + "'.");
    if (db.isTable(table.Name()))
        raise(errc::TableExists, "The table '" + table.Name() + "' already exists.");
    if (table.FieldCount() == 0) raise(errc::Failed, "The table '" + table.Name() + "' has no fields.");
    Connection& c = db.conn();
    std::string columns;
    bool counter = false;
    for (auto& f : table.Fields()) {
        // One counter per table: it becomes the row's own key.
        bool isCounter = (f.Attributes() & dbAutoIncrField) && !counter && (f.Type() == dbLong);
        counter = counter || isCounter;
        columns +=
            (columns.empty() ? "" : ", ") + c.quoteName(f.Name()) + " " + c.columnType(f.Type(), isCounter);
    }
    c.execute("CREATE TABLE " + c.quoteName(table.Name()) + " (" + columns + ")");
    db.schemaMayHaveChanged();
}

void Database::DeleteTableDef(const std::string& name) const {
    auto& db = live(s_);
    if (!db.isTable(name) || isSystemTable(name))
        raise(errc::ItemNotFound, "There is no table named '" + name + "'.");
    if (!db.writable)
        raise(errc::NoPermission, "You do not have permission to change the database '" + db.name + "'.");
    db.conn().execute("DROP TABLE " + db.conn().quoteName(name));
    db.schemaMayHaveChanged();
}

// Table definitions.

const std::string& TableDef::Name() const {
    return s_->name;
}

Field TableDef::CreateField(const std::string& name, DataType type, long size) {
    Field f;
    f.info_ = std::make_shared<FieldInfo>();
    f.info_->name = name;
    f.info_->type = type;
    f.info_->size = size;
    f.info_->attributes = (type == dbText || type == dbMemo || type == dbBinary || type == dbLongBinary)
                              ? dbVariableField
                              : dbFixedField;
    return f;
}

void TableDef::AppendField(const Field& field) {
    for (auto& f : s_->fields)
        if (lower(f.Name()) == lower(field.Name()))
            raise(errc::TableExists, "The table already has a field named '" + field.Name() + "'.");
    s_->fields.push_back(field);
}

std::vector<Field> TableDef::Fields() const {
    return s_->fields;
}
int TableDef::FieldCount() const {
    return int(s_->fields.size());
}

// Saved and temporary queries.

const std::string& QueryDef::Name() const {
    return q_->name;
}
std::string QueryDef::SQL() const {
    return q_->sql;
}

void QueryDef::setSQL(const std::string& sql) {
    jet::Statement statement = jet::parse(sql);
    discoverParameters(live(q_->db), statement);
    if (!q_->name.empty()) requireWritable(live(q_->db));
    if (!q_->name.empty())
        live(q_->db).conn().execute(std::string("UPDATE ") + kQueryTable + " SET SQL = ?1 WHERE Name = ?2",
                                    {sql, q_->name});
    q_->sql = sql;
    q_->statement = statement;
    q_->values.assign(statement.parameters.size(), runtime::Variant());
    q_->given.assign(statement.parameters.size(), false);
}

int QueryDef::ParameterCount() const {
    return int(q_->statement.parameters.size());
}

Parameter QueryDef::Parameters(int index) const {
    if (index < 0 || index >= ParameterCount())
        raise(errc::ItemNotFound, "The query has no parameter number " + std::to_string(index) + ".");
    Parameter p;
    p.q_ = q_;
    p.index_ = size_t(index);
    return p;
}

Parameter QueryDef::Parameters(const std::string& name) const {
    for (int i = 0; i < ParameterCount(); ++i)
        if (lower(q_->statement.parameters[size_t(i)].name) == lower(name)) return Parameters(i);
    raise(errc::ItemNotFound, "The query '" + q_->name + "' has no parameter named '" + name + "'.");
}

Recordset QueryDef::OpenRecordset(int type, int options) const {
    Source s{q_->statement, q_->values, q_->given};
    Recordset rs;
    rs.c_ = std::make_shared<Cursor>();
    rs.c_->set = openRows(q_->db, s, type == dbOpenTable ? dbOpenDynaset : type, options);
    return rs;
}

long long QueryDef::Execute(int /*options*/) const {
    Source s{q_->statement, q_->values, q_->given};
    auto& db = live(q_->db);
    db.recordsAffected = runAction(q_->db, s);
    return db.recordsAffected;
}

const std::string& Parameter::Name() const {
    return q_->statement.parameters[index_].name;
}
DataType Parameter::Type() const {
    return typeOfParameterDeclaration(q_->statement.parameters[index_].type);
}
runtime::Variant Parameter::Value() const {
    return q_->values[index_];
}
void Parameter::setValue(const runtime::Variant& value) {
    q_->values[index_] = value;
    q_->given[index_] = true;
}

} // namespace dao
