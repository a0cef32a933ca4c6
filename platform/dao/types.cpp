#include "types.h"

#include "runtime/error.h"
#include "runtime/numbers.h"

#include <cctype>
#include <cmath>
#include <optional>

namespace dao {
namespace {

std::string upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Dates are stored as ISO text; reading them is on every board row, so the common shapes
// ("yyyy-mm-dd", "yyyy-mm-dd hh:mm:ss") are read here without the general parser.
std::optional<runtime::Date> fastIsoDate(const std::string& s) {
    auto digits = [&](size_t at, size_t n, int& out) {
        out = 0;
        for (size_t i = at; i < at + n; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            out = out * 10 + (s[i] - '0');
        }
        return true;
    };
    int y, mo, d, h = 0, mi = 0, sec = 0;
    if ((s.size() != 10 && s.size() != 19) || s[4] != '-' || s[7] != '-' || !digits(0, 4, y) ||
        !digits(5, 2, mo) || !digits(8, 2, d) || mo < 1 || mo > 12 || d < 1 || d > 31)
        return std::nullopt;
    if (s.size() == 19 && (s[10] != ' ' || s[13] != ':' || s[16] != ':' || !digits(11, 2, h) ||
                           !digits(14, 2, mi) || !digits(17, 2, sec)))
        return std::nullopt;
    return runtime::Date::fromYmdHms(y, mo, d, h, mi, sec);
}

} // namespace

std::string declaredType(DataType type, bool counter) {
    if (counter) return "INTEGER PRIMARY KEY AUTOINCREMENT";
    switch (type) {
    case dbBoolean:
        return "YESNO NOT NULL DEFAULT 0";
    case dbByte:
        return "BYTE";
    case dbInteger:
        return "SHORT";
    case dbLong:
        return "LONG";
    case dbCurrency:
        return "CURRENCY";
    case dbSingle:
        return "SINGLE";
    case dbDouble:
        return "DOUBLE";
    case dbDate:
        return "DATETIME";
    case dbBinary:
        return "BINARY";
    case dbLongBinary:
        return "LONGBINARY";
    // Text compares without regard to case, as the engine's general sort order does.
    case dbMemo:
        return "MEMO COLLATE NOCASE";
    case dbText:
    default:
        return "TEXT COLLATE NOCASE";
    }
}

DataType typeOfDeclared(const std::string& declType, const StoredValue& sample) {
    std::string t = upper(declType);
    auto has = [&](const char* s) { return t.find(s) != std::string::npos; };
    if (t.empty()) {
        if (std::holds_alternative<std::int64_t>(sample)) return dbLong;
        if (std::holds_alternative<double>(sample)) return dbDouble;
        if (std::holds_alternative<std::vector<std::uint8_t>>(sample)) return dbLongBinary;
        return dbText;
    }
    if (has("YESNO") || has("BOOL") || has("BIT")) return dbBoolean;
    if (has("DATE") || has("TIME")) return dbDate;
    if (has("CURRENCY") || has("MONEY")) return dbCurrency;
    if (has("BYTE")) return dbByte;
    if (has("SHORT") || has("SMALLINT")) return dbInteger;
    if (has("LONGBINARY") || has("BLOB")) return dbLongBinary;
    if (has("BINARY")) return dbBinary;
    if (has("LONG") || has("INT") || has("COUNTER")) return dbLong;
    if (has("SINGLE") || has("FLOAT4")) return dbSingle;
    if (has("DOUB") || has("REAL") || has("FLOA") || has("NUM") || has("DEC")) return dbDouble;
    if (has("MEMO")) return dbMemo;
    return dbText;
}

runtime::Variant toVariant(const StoredValue& value, DataType type) {
    using runtime::Variant;
    if (isNull(value)) return Variant::null();
    if (auto* s = std::get_if<std::string>(&value)) {
        if (type == dbDate) {
            if (auto d = fastIsoDate(*s)) return *d;
            if (auto d = runtime::Date::tryIso(*s)) return *d;
        }
        if (type == dbText || type == dbMemo || type == dbDate) return *s;
        // Numbers kept as text by a foreign writer: written with ".", whatever the user's locale.
        if (auto n = runtime::readNumber(*s, ".", "")) return *n;
        runtime::raise(runtime::err::TypeMismatch);
    }
    if (auto* b = std::get_if<std::vector<std::uint8_t>>(&value)) return runtime::Bytes(*b);
    double number = std::holds_alternative<double>(value) ? std::get<double>(value)
                                                          : double(std::get<std::int64_t>(value));
    switch (type) {
    case dbBoolean:
        return number != 0;
    case dbByte:
    case dbInteger:
        return std::int16_t(number);
    case dbLong:
        if (std::holds_alternative<std::int64_t>(value) && std::fabs(number) < 2147483648.0)
            return std::int32_t(std::get<std::int64_t>(value));
        return number;
    case dbCurrency:
        return runtime::Currency::fromDouble(number);
    case dbSingle:
        return float(number);
    case dbDate:
        return runtime::Date{number};
    case dbText:
    case dbMemo:
        return Variant(number).toString();
    default:
        return number;
    }
}

StoredValue toStored(const runtime::Variant& value, DataType type) {
    if (value.isNull() || value.isEmpty()) return std::monostate{};
    switch (type) {
    case dbBoolean:
        return std::int64_t(value.toBool() ? -1 : 0);
    case dbByte:
    case dbInteger:
    case dbLong:
        return std::int64_t(value.toLong());
    case dbCurrency:
        return value.toCurrency().toDouble();
    case dbSingle:
    case dbDouble:
        return value.toDouble();
    case dbDate:
        return value.toDate().iso();
    case dbBinary:
    case dbLongBinary:
        return value.bytes();
    case dbText:
    case dbMemo:
    default:
        return value.toString();
    }
}

StoredValue toStored(const runtime::Variant& value) {
    using runtime::VarType;
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
        return std::monostate{};
    case VarType::Boolean:
        return toStored(value, dbBoolean);
    case VarType::Integer:
    case VarType::Long:
        return toStored(value, dbLong);
    case VarType::Date:
        return toStored(value, dbDate);
    case VarType::String:
        return value.toString();
    case VarType::Bytes:
        return value.bytes();
    default:
        return value.toDouble();
    }
}

DataType typeOfParameterDeclaration(const std::string& name) {
    std::string t = upper(name);
    if (t == "TEXT" || t == "CHAR" || t == "VARCHAR" || t == "STRING" || t == "MEMO") return dbText;
    if (t == "BIT" || t == "YESNO" || t == "LOGICAL" || t == "BOOLEAN") return dbBoolean;
    return typeOfDeclared(t, std::monostate{});
}

} // namespace dao
