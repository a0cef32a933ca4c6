#pragma once
// Data types and field attributes with the engine's numbers, how each type is declared in a
// backend table, and how values are converted between the program's Variants and stored values.
#include "runtime/variant.h"
#include "value.h"

#include <string>

namespace dao {

enum DataType : int {
    dbBoolean = 1,
    dbByte = 2,
    dbInteger = 3,
    dbLong = 4,
    dbCurrency = 5,
    dbSingle = 6,
    dbDouble = 7,
    dbDate = 8,
    dbBinary = 9,
    dbText = 10,
    dbLongBinary = 11,
    dbMemo = 12,
};

enum FieldAttribute : long {
    dbFixedField = 0x1,
    dbVariableField = 0x2,
    dbAutoIncrField = 0x10,
    dbUpdatableField = 0x20,
};

// The column type written into a backend table for a field of this type. Counters are declared
// "INTEGER PRIMARY KEY" so the backend numbers them; Yes/No is stored -1/0, dates as ISO text.
std::string declaredType(DataType type, bool counter);
// The same on a PostgreSQL server: text compares without regard to case (citext), the types the
// server has no match for are domains named as the engine names them (see server_objects), and a
// counter is an identity column the server numbers (the table's key, as on a file).
std::string serverDeclaredType(DataType type, bool counter);
// The data type of a declared column type; expression columns (no declared type) are judged by
// their first value.
DataType typeOfDeclared(const std::string& declType, const StoredValue& sample);

runtime::Variant toVariant(const StoredValue& value, DataType type);
// The stored form of a value written into a field of `type`. Type mismatch (13) when it cannot be.
StoredValue toStored(const runtime::Variant& value, DataType type);
// The stored form of a value by its own type (parameters without a declared type).
StoredValue toStored(const runtime::Variant& value);
// The data type named in a PARAMETERS declaration ("DateTime", "Text", "Long", ...).
DataType typeOfParameterDeclaration(const std::string& name);

} // namespace dao
