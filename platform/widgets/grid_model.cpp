#include "grid_model.h"

#include "data_grid.h"

#include <QBrush>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>

#include <algorithm>

namespace widgets {

GridModel::GridModel(DataGrid* grid) : QAbstractTableModel(grid), grid_(grid) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !grid_->data_ || !grid_->data_->source()) return 0;
    return grid_->data_->source()->rowCount() + (grid_->newRowIndex() >= 0 ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_->columnCount();
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    int row = index.row(), col = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return grid_->cellTextAt(row, col);
    case Qt::TextAlignmentRole: {
        // Numbers line up on their last digit; a column with a value list shows texts.
        bool number = false;
        try {
            number = !grid_->columns_[col].translate && isNumber(grid_->cellValueAt(row, col));
        } catch (const std::exception&) {
            // A row that cannot be read paints plain.
        }
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    case Qt::ForegroundRole:
    case Qt::BackgroundRole:
    case Qt::FontRole: {
        const CellStyle* style = grid_->styleOf(row, col);
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
    int field = source->fieldIndex(grid_->columns_[index.column()].dataField);
    if (field >= 0 && source->fieldUpdatable(field)) f |= Qt::ItemIsEditable;
    return f;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    return grid_->acceptCellText(index.row(), index.column(), value.toString());
}

void GridModel::reset() {
    beginResetModel();
    endResetModel();
}

void GridModel::rowAdded(int row) {
    // The stored record took the new-row line's place; a new empty line follows it.
    beginInsertRows({}, row + 1, row + 1);
    endInsertRows();
}

void GridModel::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

} // namespace widgets
