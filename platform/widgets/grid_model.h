#pragma once
// The grid's table model over a record source: reads only the rows the view asks for.
#include <QAbstractTableModel>

namespace widgets {

class DataGrid;

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(DataGrid* grid);

    int rowCount(const QModelIndex& parent = {}) const override;
    // Rows the source reads later are added to the view as the view scrolls to its last row.
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void showRowsRead(); // the rows the source has read meanwhile, whoever asked for them
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void multiData(const QModelIndex& index, QModelRoleDataSpan roles) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    void reset();
    void rowChanged(int row);
    void rowAdded(int row);

private:
    struct Cell;
    QVariant roleData(Cell& cell, int role) const;
    QString elidedCaption(int section) const;
    int rowsOfSource() const;
    DataGrid* grid_;
    int shown_ = 0; // the rows the view was told of
};

} // namespace widgets
