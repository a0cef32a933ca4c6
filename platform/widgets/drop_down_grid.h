#pragma once
// A drop-down grid: the rows of its own data control shown in a few columns, offered under a grid
// cell while it is edited. Picking a row puts its first column's value into the cell.
#include "data_control.h"

#include <QString>
#include <string>
#include <vector>

namespace widgets {

class DropDownGrid {
public:
    struct Column {
        QString caption;
        std::string dataField;
        double widthTwips = 1440;
    };

    explicit DropDownGrid(DataControl* source) : source_(source) {}
    DataControl* dataSource() const { return source_; }

    std::vector<Column>& Columns() { return columns_; }
    const std::vector<Column>& Columns() const { return columns_; }
    double widthTwips = 0; // the drop-down's own width; 0 = the columns' total

private:
    DataControl* source_;
    std::vector<Column> columns_;
};

} // namespace widgets
