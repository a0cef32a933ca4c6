#pragma once
// Cell editors of the data-bound grid: a line edit, a drop-down list for columns with a value
// list, and an editable drop-down grid for columns that have one; and the current row's frame.
#include <QStyledItemDelegate>

namespace widgets {

class DataGrid;

class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridDelegate(DataGrid* grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    // Cells of the current row get the row's frame around them.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QWidget* dropDownEditor(QWidget* parent, int column) const;
    DataGrid* grid_;
};

} // namespace widgets
