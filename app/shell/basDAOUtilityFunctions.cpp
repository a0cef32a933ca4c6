#include "basDAOUtilityFunctions.h"

#include "basUtilityFunctions.h"

#include "runtime/error.h"

namespace {

// The engine's general-language sort order, and its oldest file format.
const char* kGeneralLocale = ";LANGID=0x0409;CP=1252;COUNTRY=0";
constexpr int kVersion20 = 16;

} // namespace

dao::Database OpenOrCreateDatabase(const std::string& path) {
    try {
        return dao::engine().OpenDatabase(path);
    } catch (const dao::Error& e) {
        switch (e.number()) {
        case dao::errc::CannotOpen:
            break;
        case dao::errc::FileNotFound:
        case dao::errc::PathNotValid:
            MakeDirectoryPath(path);
            break;
        default:
            return {};
        }
    }
    return dao::engine().CreateDatabase(path, kGeneralLocale, kVersion20);
}

std::int16_t CreateTableFromRecordset(const std::string& path, const std::string& tableName,
                                      const dao::Recordset& source) {
    dao::Database db = OpenOrCreateDatabase(path);
    if (!db) runtime::raise(91); // no database: the object is not set
    dao::TableDef table = db.CreateTableDef(tableName);
    for (int i = 0; i < source.FieldCount(); ++i) {
        dao::Field from = source.Fields(i);
        dao::Field field = table.CreateField(from.Name(), from.Type());
        // The copy holds the source's rows as they are: a counter would renumber them, so the
        // key becomes a plain number in the copy.
        field.setAttributes(from.Attributes() & ~long(dao::dbAutoIncrField));
        table.AppendField(field);
    }
    try {
        db.AppendTableDef(table);
    } catch (const dao::Error&) {
        return 2;
    }
    db.Close();
    return 0;
}

bool DropTableIfPresent(const std::string& path, const std::string& tableName) {
    dao::Database db = OpenOrCreateDatabase(path);
    if (!db) return false;
    for (const dao::TableDef& t : db.TableDefs())
        if (t.Name() == tableName) db.DeleteTableDef(t.Name());
    db.Close();
    return true;
}
