#include "copy_database.h"

#include "change_notices.h"

#include "errors.h"
#include "server_objects.h"
#include "types.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace dao {
namespace {

// A default both engines read alike: a number or a quoted text (a server's "'x'::text" loses its
// cast). Anything else (an expression of one engine) is left behind.
std::string portableDefault(std::string value) {
    if (auto cast = value.rfind("::"); cast != std::string::npos && !value.empty() && value[0] == '\'')
        value = value.substr(0, cast);
    if (value.size() > 2 && value.front() == '(' && value.back() == ')')
        value = value.substr(1, value.size() - 2);
    bool number = !value.empty() && value.find_first_not_of("-+.0123456789") == std::string::npos;
    bool text = value.size() >= 2 && value.front() == '\'' && value.back() == '\'';
    return number || text ? value : "";
}

struct Column {
    dao::ColumnDefinition definition;
    dao::DataType type;
};

std::vector<Column> columnsOf(dao::Connection& c, const std::string& table) {
    std::vector<Column> out;
    for (auto& d : c.tableColumns(table))
        out.push_back({d, dao::typeOfDeclared(d.declType, std::monostate{})});
    return out;
}

// Each column as the destination declares a field of its type (on a server, the domains
// prepareServerDatabase makes and citext for text); a counter is the table's key on both engines.
void createTable(dao::Connection& dst, const std::string& table, const std::vector<Column>& cols) {
    std::string sql = "CREATE TABLE " + dst.quoteName(table) + " (";
    std::vector<std::string> keys;
    bool counterKey = false;
    for (size_t i = 0; i < cols.size(); ++i) {
        auto& d = cols[i].definition;
        bool counter = d.autoIncrement && d.primaryKey;
        sql += (i ? ", " : "") + dst.quoteName(d.name) + " ";
        sql += dst.columnType(cols[i].type, counter);
        if (d.notNull && !counter) sql += " NOT NULL";
        if (auto value = portableDefault(d.defaultValue); !value.empty()) sql += " DEFAULT " + value;
        counterKey = counterKey || counter;
        if (d.primaryKey) keys.push_back(dst.quoteName(d.name));
    }
    if (!keys.empty() && !counterKey) {
        sql += ", PRIMARY KEY (";
        for (size_t i = 0; i < keys.size(); ++i)
            sql += (i ? ", " : "") + keys[i];
        sql += ")";
    }
    dst.execute(sql + ")");
}

long long rowCount(dao::Connection& c, const std::string& table) {
    auto s = c.prepare("SELECT count(*) FROM " + c.quoteName(table));
    s->step();
    return std::get<std::int64_t>(s->value(0));
}

// The server numbers a counter from where the copied rows end.
void continueCounters(dao::Connection& dst, const std::string& table, const std::vector<Column>& cols) {
    for (auto& c : cols)
        if (c.definition.autoIncrement && c.definition.primaryKey)
            dst.execute("SELECT setval(pg_get_serial_sequence(" + dst.quoteText(dst.quoteName(table)) + ", " +
                        dst.quoteText(c.definition.name) + "), COALESCE((SELECT max(" +
                        dst.quoteName(c.definition.name) + ") FROM " + dst.quoteName(table) +
                        "), 0) + 1, false)");
}

long long copyRows(dao::Connection& src, dao::Connection& dst, const std::string& table,
                   const std::vector<Column>& cols, long long& done, long long total,
                   const CopyProgress& progress) {
    std::string names, marks;
    for (size_t i = 0; i < cols.size(); ++i) {
        names += (i ? ", " : "") + src.quoteName(cols[i].definition.name);
        marks += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    auto read = src.prepare("SELECT " + names + " FROM " + src.quoteName(table));
    auto write =
        dst.prepare("INSERT INTO " + dst.quoteName(table) + " (" + names + ") VALUES (" + marks + ")");
    long long rows = 0;
    while (read->step()) {
        write->reset();
        // Each value goes through the layer's own reading and writing of its type, so dates and
        // Yes/No are stored as the destination's engine keeps them.
        for (size_t i = 0; i < cols.size(); ++i)
            write->bind(int(i + 1),
                        dao::toStored(dao::toVariant(read->value(int(i)), cols[i].type), cols[i].type));
        write->step();
        ++rows;
        if (progress && ++done % 500 == 0) progress(done, total);
    }
    return rows;
}

// The table's indexes, made once its rows are in (quicker than keeping them up row by row).
void copyIndexes(dao::Connection& src, dao::Connection& dst, const std::string& table) {
    for (const auto& index : src.tableIndexes(table)) {
        std::string columns;
        for (const auto& column : index.columns)
            columns += (columns.empty() ? "" : ", ") + dst.quoteName(column);
        dst.execute(std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + dst.quoteName(index.name) +
                    " ON " + dst.quoteName(table) + " (" + columns + ")");
    }
}

} // namespace

std::vector<CopiedTable> copyDatabase(dao::Connection& source, dao::Connection& destination,
                                      bool destinationIsServer, const CopyProgress& progress) {
    if (!destination.tableNames().empty())
        dao::raise(dao::errc::TableExists, "The destination database already holds tables; copy only into an "
                                           "empty database.");
    auto tables = source.tableNames();
    // A file's change log is the layer's own record of recent changes, not data: it is not copied.
    std::erase_if(tables, [](const std::string& t) { return t == dao::kChangeLogTable; });
    long long total = 0, done = 0;
    for (auto& t : tables)
        total += rowCount(source, t);
    std::vector<CopiedTable> summary;
    destination.begin();
    try {
        if (destinationIsServer) dao::prepareServerDatabase(destination);
        for (auto& t : tables) {
            auto cols = columnsOf(source, t);
            createTable(destination, t, cols);
            summary.push_back({t, copyRows(source, destination, t, cols, done, total, progress)});
            copyIndexes(source, destination, t);
            if (destinationIsServer) continueCounters(destination, t, cols);
        }
        // Live updates of every workstation's board (a file gets its change log from the first
        // program that watches it).
        if (destinationIsServer) dao::installChangeNotices(destination);
        destination.commit();
    } catch (...) {
        // What failed is what the user needs to read, not a failure to undo it on a connection
        // already lost: the destination keeps nothing either way.
        try {
            destination.rollback();
        } catch (...) {
        }
        throw;
    }
    if (progress) progress(done, total);
    return summary;
}

} // namespace dao
