#pragma once
// An in-memory record source for the controls' tests: rows of Variants, an edit buffer, counters
// of reads, and a switch that makes the next update fail as a database would.
#include "widgets/record_source.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

namespace widgets {

class MemorySource : public RecordSource {
public:
    MemorySource(std::vector<std::string> fields, std::vector<std::vector<runtime::Variant>> rows)
        : fields_(std::move(fields)), rows_(std::move(rows)) {}

    int rowCount() const override { return std::min(int(rows_.size()), readSoFar); }
    bool moreRowsToRead() const override { return readSoFar < int(rows_.size()); }
    void readAllRows() override { readSoFar = int(rows_.size()); }
    int fieldCount() const override { return int(fields_.size()); }
    std::string fieldName(int field) const override { return fields_.at(field); }
    runtime::Variant value(int row, int field) const override;
    bool updatable() const override { return updatable_; }
    bool fieldUpdatable(int) const override { return updatable_; }
    int currentRow() const override { return current_; }
    void moveTo(int row) override;
    EditMode editMode() const override { return mode_; }
    void edit() override;
    void addNew() override;
    runtime::Variant editedValue(int field) const override { return buffer_.at(field); }
    void setValue(int field, const runtime::Variant& value) override;
    void update() override;
    void cancelUpdate() override { mode_ = EditMode::None; }
    void deleteCurrent() override;
    runtime::Bytes bookmark(int row) const override {
        return {std::uint8_t(row), std::uint8_t(row >> 8), std::uint8_t(row >> 16)};
    }
    int rowOfBookmark(const runtime::Bytes& b) const override { return b[0] | b[1] << 8 | b[2] << 16; }

    bool updatable_ = true;
    int readSoFar = INT_MAX; // the rows "read" yet: the rest as a large record set reads them later
    mutable long reads = 0;
    int updates = 0;
    std::optional<long> failNextUpdate; // error number

private:
    std::vector<std::string> fields_;
    std::vector<std::vector<runtime::Variant>> rows_;
    std::vector<runtime::Variant> buffer_;
    int current_ = -1;
    EditMode mode_ = EditMode::None;
};

} // namespace widgets
