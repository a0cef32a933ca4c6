#include "memory_source.h"

#include "runtime/error.h"

namespace widgets {

runtime::Variant MemorySource::value(int row, int field) const {
    ++reads;
    return rows_.at(row).at(field);
}

void MemorySource::moveTo(int row) {
    if (mode_ != EditMode::None) throw runtime::Error(3020, "Memory", "Edit in progress");
    current_ = row;
}

void MemorySource::edit() {
    if (current_ < 0) throw runtime::Error(3021, "Memory", "No current record.");
    buffer_ = rows_.at(current_);
    mode_ = EditMode::Editing;
}

void MemorySource::addNew() {
    buffer_.assign(fields_.size(), runtime::Variant::null());
    mode_ = EditMode::Adding;
}

void MemorySource::setValue(int field, const runtime::Variant& value) {
    if (mode_ == EditMode::None)
        throw runtime::Error(3020, "Memory", "Update or CancelUpdate without AddNew or Edit.");
    buffer_.at(field) = value;
}

void MemorySource::update() {
    if (mode_ == EditMode::None)
        throw runtime::Error(3020, "Memory", "Update or CancelUpdate without AddNew or Edit.");
    if (failNextUpdate) {
        long n = *failNextUpdate;
        failNextUpdate.reset();
        throw runtime::Error(n, "Memory", "The row was changed by another user.");
    }
    if (mode_ == EditMode::Adding) {
        rows_.push_back(buffer_);
        current_ = int(rows_.size()) - 1;
    } else {
        rows_.at(current_) = buffer_;
    }
    mode_ = EditMode::None;
    ++updates;
}

void MemorySource::deleteCurrent() {
    rows_.erase(rows_.begin() + current_);
    if (current_ >= int(rows_.size())) current_ = int(rows_.size()) - 1;
}

} // namespace widgets
