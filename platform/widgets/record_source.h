#pragma once
// What the data-bound controls need of a record set: rows by position, their values, and the edit
// cycle of the current record. The data-access layer's record sets are adapted to it
// (dao_record_source.h); the controls never move the current record to read a row they paint.
#include "runtime/variant.h"

#include <string>

namespace widgets {

enum class EditMode { None, Editing, Adding };

class RecordSource {
public:
    virtual ~RecordSource() = default;

    // The rows read so far: a large source may read its first rows first and the rest on request.
    virtual int rowCount() const = 0;
    virtual bool moreRowsToRead() const { return false; }
    virtual void readAllRows() {}
    virtual int fieldCount() const = 0;
    virtual std::string fieldName(int field) const = 0;
    virtual int fieldIndex(const std::string& name) const; // -1 when there is none (case-insensitive)
    // A row's value, read without touching the current record or an edit in progress.
    virtual runtime::Variant value(int row, int field) const = 0;

    virtual bool updatable() const = 0;
    virtual bool fieldUpdatable(int field) const = 0;

    // The current record: -1 when there is none.
    virtual int currentRow() const = 0;
    virtual void moveTo(int row) = 0;

    // The edit cycle of the current record, with the record set's own rules and errors.
    virtual EditMode editMode() const = 0;
    virtual void edit() = 0;
    virtual void addNew() = 0;
    virtual runtime::Variant editedValue(int field) const = 0; // the value in the edit buffer
    virtual void setValue(int field, const runtime::Variant& value) = 0;
    virtual void update() = 0;
    virtual void cancelUpdate() = 0;
    virtual void deleteCurrent() = 0;

    // Bookmarks identify rows across re-reads of the same record set.
    virtual runtime::Bytes bookmark(int row) const = 0;
    virtual int rowOfBookmark(const runtime::Bytes& bookmark) const = 0; // -1 when gone
};

} // namespace widgets
