#include "grid_delegate.h"

#include "data_grid.h"
#include "drop_down_grid.h"
#include "twips.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>

namespace widgets {

GridDelegate::GridDelegate(DataGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const GridColumn& col = grid_->Columns(index.column());
    if (col.dropDown) return dropDownEditor(parent, index.column());
    if (col.translate && !col.valueItems.empty()) {
        auto* combo = new QComboBox(parent);
        combo->addItem(QString());
        for (const ValueItem& item : col.valueItems)
            combo->addItem(item.display);
        connect(combo, &QComboBox::activated, grid_, [this] { grid_->noteChange(); });
        return combo;
    }
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        connect(line, &QLineEdit::textEdited, grid_, [this] { grid_->noteChange(); });
    return editor;
}

// An editable combo box whose pop-up is a table of the drop-down grid's rows and columns.
QWidget* GridDelegate::dropDownEditor(QWidget* parent, int column) const {
    DropDownGrid* dd = grid_->Columns(column).dropDown;
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    auto* model = new QStandardItemModel(combo);
    model->setColumnCount(int(dd->Columns().size()));
    auto source = dd->dataSource() ? dd->dataSource()->source() : nullptr;
    if (source) {
        std::vector<int> fields;
        for (const auto& c : dd->Columns())
            fields.push_back(source->fieldIndex(c.dataField));
        for (int r = 0; r < source->rowCount(); ++r) {
            QList<QStandardItem*> items;
            for (int f : fields) {
                runtime::Variant v = f >= 0 ? source->value(r, f) : runtime::Variant::null();
                items.append(
                    new QStandardItem(v.isNull() ? QString() : QString::fromStdString(v.toString())));
            }
            model->appendRow(items);
        }
    }
    auto* view = new QTableView(combo);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->hide();
    view->setShowGrid(false);
    combo->setModel(model);
    combo->setView(view);
    double total = 0;
    for (int c = 0; c < int(dd->Columns().size()); ++c) {
        model->setHeaderData(c, Qt::Horizontal, dd->Columns()[c].caption);
        view->setColumnWidth(c, twipsToPixels(dd->Columns()[c].widthTwips));
        total += dd->Columns()[c].widthTwips;
    }
    view->setMinimumWidth(twipsToPixels(dd->widthTwips > 0 ? dd->widthTwips : total));
    connect(combo->lineEdit(), &QLineEdit::textEdited, grid_, [this] { grid_->noteChange(); });
    connect(combo, &QComboBox::activated, grid_, [this] { grid_->noteChange(); });
    return combo;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (combo->isEditable()) {
            // Typing replaces the cell's text, as in the plain cells.
            combo->setEditText(text);
            combo->lineEdit()->selectAll();
        } else
            combo->setCurrentIndex(std::max(0, combo->findText(text)));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        text = combo->isEditable() ? combo->currentText() : combo->currentText();
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        text = line->text();
    else
        return QStyledItemDelegate::setModelData(editor, model, index);
    // An editor closed without a change stores nothing: no edit mode, no notifications.
    if (text == index.data(Qt::EditRole).toString()) return;
    model->setData(index, text, Qt::EditRole);
}

namespace {
// The first or last column a user sees (hidden columns left out), by logical index.
int edgeColumn(const QHeaderView& header, bool last) {
    for (int i = 0; i < header.count(); ++i) {
        int logical = header.logicalIndex(last ? header.count() - 1 - i : i);
        if (!header.isSectionHidden(logical)) return logical;
    }
    return -1;
}
} // namespace

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (index.row() != grid_->currentRowIndex()) return;
    const QRect r = option.rect;
    const QHeaderView& header = *grid_->horizontalHeader();
    painter->save();
    painter->setPen(QPen(DataGrid::kFocusFrameColour, 2));
    painter->drawLine(QPoint(r.left(), r.top() + 1), QPoint(r.right() + 1, r.top() + 1));
    painter->drawLine(QPoint(r.left(), r.bottom()), QPoint(r.right() + 1, r.bottom()));
    if (index.column() == edgeColumn(header, false))
        painter->drawLine(r.left() + 1, r.top(), r.left() + 1, r.bottom());
    if (index.column() == edgeColumn(header, true))
        painter->drawLine(r.right(), r.top(), r.right(), r.bottom());
    painter->restore();
}

} // namespace widgets
