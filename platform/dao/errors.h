#pragma once
// Errors of the data-access layer. They carry the numbers the program's code tests for (3024, 3044,
// 3151, 3033, 3021, ...) and texts of our own that say plainly what went wrong.
#include "runtime/error.h"

#include <string>

namespace dao {

namespace errc {
inline constexpr long FileNotFound = 3024;        // the database file does not exist
inline constexpr long PathNotValid = 3044;        // a folder on the way to the file does not exist
inline constexpr long CannotOpen = 3151;          // the file exists but could not be opened as a database
inline constexpr long NotADatabase = 3343;        // the file is not a database of ours
inline constexpr long DatabaseExists = 3204;      // CreateDatabase over an existing file
inline constexpr long TableExists = 3010;         // appending a table definition that exists
inline constexpr long NoPermission = 3033;        // the account may not do this
inline constexpr long NoCurrentRecord = 3021;     // BOF/EOF or a deleted row
inline constexpr long UpdateWithoutEdit = 3020;   // Update/CancelUpdate with no AddNew/Edit
inline constexpr long TooFewParameters = 3061;    // a query parameter was not given a value
inline constexpr long InputNotFound = 3078;       // no table or saved query of that name
inline constexpr long ItemNotFound = 3265;        // no member of that name in a collection
inline constexpr long ChangedByOther = 3197;      // optimistic concurrency: the row changed meanwhile
inline constexpr long RecordDeleted = 3167;       // the row was deleted (here or by another user)
inline constexpr long BadAccount = 3029;          // not a valid account name or password
inline constexpr long ReadOnly = 3027;            // the record set or database cannot be updated
inline constexpr long FieldNotUpdatable = 3164;   // a derived or joined-in column
inline constexpr long Locked = 3218;              // another user holds the database lock too long
inline constexpr long DuplicateKey = 3022;        // a unique index refused the row
inline constexpr long SyntaxError = 3075;         // the statement could not be understood
inline constexpr long CannotExecuteSelect = 3065; // Execute given a select query
inline constexpr long NotSupported = 3251;        // operation not supported for this record set type
inline constexpr long NoTransaction = 3034;       // CommitTrans/Rollback without BeginTrans
inline constexpr long DataTypeMismatch = 3464;    // a value does not fit the column
inline constexpr long RequiredValue = 3314;       // a required column was left empty
inline constexpr long NotABookmark = 3159;        // a bookmark of another record set or reading
inline constexpr long TextAfterEnd = 3142;        // characters found after the end of the statement
inline constexpr long DiskFull = 3026;          // no room left on the disk for the change
inline constexpr long DiskError = 3043;         // the file could not be read or written
inline constexpr long Failed = 3000;              // any other failure of the engine
} // namespace errc

class Error : public runtime::Error {
public:
    Error(long number, std::string description) : runtime::Error(number, "DAO", std::move(description)) {}
};

[[noreturn]] inline void raise(long number, std::string description) {
    throw Error(number, std::move(description));
}

} // namespace dao
