#include "grid_model.h"

#include "data_grid.h"

#include <QBrush>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>

#include <algorithm>
#include <optional>

namespace widgets {

GridModel::GridModel(DataGrid* grid) : QAbstractTableModel(grid), grid_(grid) {}

int GridModel::rowsOfSource() const {
    if (!grid_->data_ || !grid_->data_->source()) return 0;
    return grid_->data_->source()->rowCount() + (grid_->newRowIndex() >= 0 ? 1 : 0);
}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

bool GridModel::canFetchMore(const QModelIndex& parent) const {
    if (parent.isValid() || !grid_->data_ || !grid_->data_->source()) return false;
    return rowsOfSource() > shown_ || grid_->data_->source()->moreRowsToRead();
}

void GridModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || !grid_->data_ || !grid_->data_->source()) return;
    try {
        grid_->data_->source()->readAllRows();
    } catch (const std::exception& e) {
        grid_->reportError(e); // the rows read so far stay; the next scroll to the end tries again
    }
    showRowsRead();
}

void GridModel::showRowsRead() {
    int rows = rowsOfSource();
    if (rows <= shown_) return;
    beginInsertRows({}, shown_, rows - 1);
    shown_ = rows;
    endInsertRows();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_->columnCount();
}

// One cell as the view asks about it: its value and its style, each read once however many roles
// are asked for (painting asks for text, alignment and colours of every cell).
struct GridModel::Cell {
    Cell(const DataGrid* g, int r, int c) : grid(g), row(r), col(c) {}
    const DataGrid* grid;
    int row, col;
    std::optional<runtime::Variant> value; // read, or nothing when the row cannot be read
    bool valueRead = false;
    const CellStyle* style = nullptr;
    bool styleRead = false;

    const runtime::Variant* cellValue() {
        if (!valueRead) {
            valueRead = true;
            try {
                value = grid->cellValueAt(row, col);
            } catch (const std::exception&) {
                // A row that cannot be read paints empty and plain.
            }
        }
        return value ? &*value : nullptr;
    }
    const CellStyle* cellStyle() {
        if (!styleRead) {
            styleRead = true;
            style = grid->styleOf(row, col);
        }
        return style;
    }
};

QVariant GridModel::roleData(Cell& cell, int role) const {
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const runtime::Variant* v = cell.cellValue();
        if (!v) return QString();
        try {
            return grid_->columns_[cell.col].textOf(*v);
        } catch (const std::exception&) {
            return QString();
        }
    }
    case Qt::TextAlignmentRole: {
        // Numbers line up on their last digit; a column with a value list shows texts.
        const runtime::Variant* v = cell.cellValue();
        bool number = v && !grid_->columns_[cell.col].translate && isNumber(*v);
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    case Qt::ForegroundRole:
    case Qt::BackgroundRole:
    case Qt::FontRole: {
        const CellStyle* style = cell.cellStyle();
        if (!style) return {};
        if (role == Qt::ForegroundRole)
            return style->foreground.isValid() ? QVariant(QBrush(style->foreground)) : QVariant();
        if (role == Qt::BackgroundRole)
            return style->background.isValid() ? QVariant(QBrush(style->background)) : QVariant();
        if (!style->bold) return {};
        QFont f = grid_->font();
        f.setBold(true);
        return f;
    }
    default:
        return {};
    }
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    Cell cell{grid_, index.row(), index.column()};
    return roleData(cell, role);
}

void GridModel::multiData(const QModelIndex& index, QModelRoleDataSpan roles) const {
    if (!index.isValid()) {
        for (QModelRoleData& d : roles)
            d.clearData();
        return;
    }
    Cell cell{grid_, index.row(), index.column()};
    for (QModelRoleData& d : roles)
        d.setData(roleData(cell, d.role()));
}

// A caption that is wider than its column ends in "…" rather than being cut at both ends.
QString GridModel::elidedCaption(int section) const {
    const QHeaderView* header = grid_->horizontalHeader();
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 2;
    const int room = std::max(0, header->sectionSize(section) - margins);
    return QFontMetrics(header->font()).elidedText(grid_->columns_[section].caption, Qt::ElideRight, room);
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // A caption elided to its column's width shows whole as the header's tip.
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && section < grid_->columnCount())
        return grid_->columns_[section].caption;
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical && section == grid_->newRowIndex()) return "*";
    if (orientation == Qt::Horizontal)
        return section < grid_->columnCount() ? elidedCaption(section) : QString();
    return QVariant(); // record selectors carry no numbers
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    auto source = grid_->data_ ? grid_->data_->source() : nullptr;
    if (!source || !source->updatable()) return f;
    int field = grid_->fieldOfColumn(*source, index.column());
    if (field >= 0 && source->fieldUpdatable(field)) f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    return grid_->acceptCellText(index.row(), index.column(), value.toString());
}

void GridModel::reset() {
    beginResetModel();
    shown_ = rowsOfSource();
    endResetModel();
}

void GridModel::rowAdded(int row) {
    // The stored record took the new-row line's place; a new empty line follows it.
    beginInsertRows({}, row + 1, row + 1);
    ++shown_;
    endInsertRows();
}

void GridModel::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

} // namespace widgets
