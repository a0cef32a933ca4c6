// SELECT ... INTO table IN 'file' on a server database. The server cannot reach a file on the
// workstation, so the server reads the rows and the layer writes them into the file: the table is
// made and filled inside one transaction of the file, so a failure leaves no half-filled table.
#include "paths/windows_path.h"
#include "state.h"

namespace dao::detail {

void refuseExistingTable(const std::vector<std::string>& tables, const std::string& table) {
    auto lower = [](std::string s) {
        for (char& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (auto& t : tables)
        if (lower(t) == lower(table)) raise(errc::TableExists, "The table '" + table + "' already exists.");
}

long long makeTableInFile(DatabaseState& db, const Source& source, const jet::MakeTable& make) {
    std::string path = paths::resolve(make.externalFile);
    OpenOptions options;
    options.lockTimeoutMs = engine().LockTimeoutMs();
    // The process's own connection to the file: a transaction the program holds on it is joined,
    // not waited for.
    auto file = sharedConnection(path, options, [&](const OpenOptions& o) { return openSqlite(path, o); });
    Connection& out = *file->connection;
    refuseExistingTable(out.tableNames(), make.table);

    std::vector<StoredValue> params;
    auto rows = prepareTranslated(db, make.select, source, params);
    // Columns read from a table take its field's type; expressions are stored as they come, as
    // when the file engine makes the table itself.
    std::vector<std::optional<DataType>> types;
    std::string columns, marks;
    for (int i = 0; i < rows->columnCount(); ++i) {
        auto col = rows->column(i);
        if (!col.declType.empty())
            types.push_back(typeOfDeclared(col.declType, std::monostate{}));
        else
            types.push_back(std::nullopt);
        columns += (i ? ", " : "") + out.quoteName(col.name) + " " +
                   (types.back() ? out.columnType(*types.back(), false) : std::string());
        marks += (i ? ", ?" : "?") + std::to_string(i + 1);
    }

    auto level = openLevel(*file);
    long long count = 0;
    try {
        out.execute("CREATE TABLE " + out.quoteName(make.table) + " (" + columns + ")");
        auto insert = out.prepare("INSERT INTO " + out.quoteName(make.table) + " VALUES (" + marks + ")");
        while (rows->step()) {
            insert->reset();
            for (size_t i = 0; i < types.size(); ++i) {
                auto value = rows->value(int(i));
                insert->bind(int(i + 1), types[i] ? toStored(toVariant(value, *types[i]), *types[i]) : value);
            }
            insert->step();
            ++count;
        }
    } catch (...) {
        closeLevel(*file, level, false);
        throw;
    }
    closeLevel(*file, level, true);
    return count;
}

} // namespace dao::detail
