#include "dao_record_source.h"

#include <map>

namespace widgets {

DaoRecordSource::DaoRecordSource(dao::Recordset recordset) : rs_(std::move(recordset)), reader_(rs_.Clone()) {
    for (int i = 0; i < rs_.FieldCount(); ++i)
        fieldUpdatable_.push_back((rs_.Fields(i).Attributes() & dao::dbUpdatableField) != 0);
}

int DaoRecordSource::rowCount() const {
    return int(rs_.RecordsReadSoFar());
}
bool DaoRecordSource::moreRowsToRead() const {
    return rs_.MoreRecordsToRead();
}
void DaoRecordSource::readAllRows() {
    rs_.ReadAllRecords();
}
int DaoRecordSource::fieldCount() const {
    return rs_.FieldCount();
}
std::string DaoRecordSource::fieldName(int field) const {
    return rs_.Fields(field).Name();
}

runtime::Variant DaoRecordSource::value(int row, int field) const {
    if (reader_.AbsolutePosition() != row) reader_.setAbsolutePosition(row);
    return reader_.Fields(field).Value();
}

bool DaoRecordSource::updatable() const {
    return rs_.Updatable();
}
bool DaoRecordSource::fieldUpdatable(int field) const {
    return field >= 0 && field < int(fieldUpdatable_.size()) && fieldUpdatable_[field];
}

int DaoRecordSource::currentRow() const {
    return int(rs_.AbsolutePosition());
}
void DaoRecordSource::moveTo(int row) {
    rs_.setAbsolutePosition(row);
}

EditMode DaoRecordSource::editMode() const {
    switch (rs_.EditMode()) {
    case dao::dbEditInProgress:
        return EditMode::Editing;
    case dao::dbEditAdd:
        return EditMode::Adding;
    default:
        return EditMode::None;
    }
}

void DaoRecordSource::edit() {
    rs_.Edit();
}
void DaoRecordSource::addNew() {
    rs_.AddNew();
}
runtime::Variant DaoRecordSource::editedValue(int field) const {
    return rs_.Fields(field).Value();
}
void DaoRecordSource::setValue(int field, const runtime::Variant& value) {
    rs_.Fields(field).setValue(value);
}

void DaoRecordSource::update() {
    bool adding = rs_.EditMode() == dao::dbEditAdd;
    rs_.Update();
    // A new row is current after it is stored, as the grid shows it.
    if (adding) rs_.setBookmark(rs_.LastModified());
    reader_ = rs_.Clone();
}

void DaoRecordSource::cancelUpdate() {
    rs_.CancelUpdate();
}

void DaoRecordSource::deleteCurrent() {
    rs_.Delete();
    reader_ = rs_.Clone();
}

runtime::Bytes DaoRecordSource::bookmark(int row) const {
    if (reader_.AbsolutePosition() != row) reader_.setAbsolutePosition(row);
    return reader_.Bookmark();
}

int DaoRecordSource::rowOfBookmark(const runtime::Bytes& bookmark) const {
    try {
        reader_.setBookmark(bookmark);
        return int(reader_.AbsolutePosition());
    } catch (const runtime::Error&) {
        return -1;
    }
}

dao::Recordset* boundRecordset(const DataControl& control) {
    auto source = std::dynamic_pointer_cast<DaoRecordSource>(control.source());
    return source ? &source->recordset() : nullptr;
}

void bindRecordset(DataControl& control, dao::Recordset recordset) {
    control.setSource(std::make_shared<DaoRecordSource>(std::move(recordset)));
}

void installDaoOpener() {
    // A data control refreshed again and again (the search window's lists at every click) reuses
    // its database: opening one reads its saved queries and schema each time. Kept per user, so a
    // later login never works through a database opened with someone else's rights; installed again,
    // the opener starts with none open (a file replaced meanwhile is not read through its old handle).
    auto databases = std::make_shared<std::map<std::pair<std::string, std::string>, dao::Database>>();
    DataControl::setOpener([databases](const std::string& database, const std::string& source) {
        auto& open = *databases;
        auto& engine = dao::engine();
        auto key = std::make_pair(database, engine.DefaultUser() + "\n" + engine.SystemDB());
        auto it = open.find(key);
        if (it == open.end()) it = open.emplace(key, engine.OpenDatabase(database)).first;
        return std::make_shared<DaoRecordSource>(it->second.OpenRecordset(source, dao::dbOpenDynaset));
    });
}

} // namespace widgets
