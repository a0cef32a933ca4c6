#include "basDAOUtilityFunctions.h"

#include "basUtilityFunctions.h"

#include "paths/windows_path.h"
#include "runtime/error.h"

#include <filesystem>

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
            // A file that is there but cannot be opened now (a disk error, a lock held elsewhere)
            // is said as what it is: creating it again could only say that it exists.
            if (std::filesystem::exists(paths::resolve(path))) throw;
            break;
        case dao::errc::FileNotFound:
        case dao::errc::PathNotValid:
            MakeDirectoryPath(path);
            break;
        case dao::errc::NotADatabase:
            return {}; // another program's file is never replaced
        default:
            throw; // the disk, or a lock: the caller tells the user
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
    } catch (const dao::Error& e) {
        // Only a table of that name is the caller's to deal with; a file that could not be written
        // is said as what it is, not taken for a table left behind.
        if (e.number() != dao::errc::TableExists) throw;
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
