#pragma once
// A data-access record set as the data-bound controls see it. The bound record set keeps the
// current record (the navigator's position); a clone of it reads the rows the grid paints, so
// painting never moves the current record or disturbs an edit in progress.
#include "data_control.h"
#include "record_source.h"

#include "dao/dao.h"

#include <memory>

namespace widgets {

class DaoRecordSource : public RecordSource {
public:
    explicit DaoRecordSource(dao::Recordset recordset);

    // The bound record set, for code that works with it directly.
    dao::Recordset& recordset() { return rs_; }

    int rowCount() const override;
    bool moreRowsToRead() const override;
    void readAllRows() override;
    int fieldCount() const override;
    std::string fieldName(int field) const override;
    runtime::Variant value(int row, int field) const override;
    bool updatable() const override;
    bool fieldUpdatable(int field) const override;
    int currentRow() const override;
    void moveTo(int row) override;
    EditMode editMode() const override;
    void edit() override;
    void addNew() override;
    runtime::Variant editedValue(int field) const override;
    void setValue(int field, const runtime::Variant& value) override;
    void update() override;
    void cancelUpdate() override;
    void deleteCurrent() override;
    runtime::Bytes bookmark(int row) const override;
    int rowOfBookmark(const runtime::Bytes& bookmark) const override;

private:
    dao::Recordset rs_;
    mutable dao::Recordset reader_;
    std::vector<bool> fieldUpdatable_;
};

// The record set bound to a data control, or an empty handle when none is (or it is not ours).
dao::Recordset* boundRecordset(const DataControl& control);
// Binds a record set to a data control.
void bindRecordset(DataControl& control, dao::Recordset recordset);
// Lets data controls open their database name and record source through the engine's default
// workspace (as the platform's data control does).
void installDaoOpener();

} // namespace widgets
