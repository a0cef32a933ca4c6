#pragma once
// The data-bound grid: the rows of a data control's record set, one column per bound field, edited
// in place. Rows are read on demand (only what is painted), cell styles are asked for per cell by
// name, and the edit notifications let the window that owns the grid check or refuse each change.
// Leaving a changed row stores it.
#include "data_control.h"
#include "grid_column.h"

#include <QColor>
#include <QFont>
#include <QTableView>
#include <functional>
#include <map>

namespace widgets {

class GridModel;

struct CellStyle {
    QColor foreground;
    QColor background;
    bool bold = false;
};

class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);

    using QTableView::edit; // opening a cell's editor, as a click or a key does

    // The frame around the current row: it stands out even when every row is coloured.
    static inline const QColor kFocusFrameColour{20, 20, 20};

    void setDataSource(DataControl* control);
    DataControl* dataSource() const { return data_; }

    // Columns, addressed by index (0-based) or by caption.
    int addColumn(const QString& caption, const std::string& dataField,
                  ColumnDisplay display = ColumnDisplay::Text);
    int columnCount() const { return int(columns_.size()); }
    GridColumn& Columns(int index);
    GridColumn* columnByCaption(const QString& caption);
    int columnOfField(const std::string& dataField) const;
    // Applies changes made to a column's caption, width, visibility or value list.
    void columnChanged(int index);

    double rowHeightTwips() const;
    void setRowHeightTwips(double twips);

    // Named styles, and the function asked for the style of each painted cell ("" = none).
    void addStyle(const std::string& name, const CellStyle& style);
    using StyleFunction = std::function<std::string(int row, int column)>;
    void setStyleFunction(StyleFunction fn) { styleFn_ = std::move(fn); }
    const CellStyle* styleOf(int row, int column) const;

    // The rows the user selected with the record selectors, in the order they were selected.
    std::vector<runtime::Bytes> selectedBookmarks() const;
    void clearSelectedRows();

    int currentRowIndex() const;
    int currentColumn() const;
    // The current row's cell as it stands (the edit buffer while the row is being edited).
    QString cellText(int column) const;
    runtime::Variant cellValue(int column) const;
    // Changes a cell of the current row, putting the row into edit mode when needed.
    void setCellValue(int column, const runtime::Variant& value);

    // With AllowAddNew an updatable grid ends in an empty new-row line: typing into it starts a new
    // record (columns with a default value get it), leaving it stores the record.
    bool AllowAddNew() const { return allowAddNew_; }
    void setAllowAddNew(bool allow);
    // Starts a new record in the new-row line and makes that line current.
    void addNewRow();
    // The index of the new-row line, or -1 when the grid has none.
    int newRowIndex() const;

    // Repaints every visible cell (styles are asked for again).
    void Refresh();
    // Rows the record source read meanwhile (a record found by key past those shown) join the view.
    void showRowsRead();
    // Stores the current row when it has changes. False when the store failed (already reported).
    bool storeCurrentRow();

signals:
    void Change(); // the user began changing data
    // Before a typed value is stored: a handler may refuse it (*cancel) or change it (*newValue).
    void BeforeColUpdate(int column, const runtime::Variant& oldValue, runtime::Variant* newValue,
                         bool* cancel);
    void AfterColUpdate(int column); // a change was accepted
    void AfterColEdit(int column);   // a cell edit ended
    void ColResize(int column);
    void RowResize();
    void RowColChange();

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class GridModel;
    friend class GridDelegate;
    void rebind();
    void onCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    bool acceptCellText(int row, int column, const QString& text); // from the editor
    QString cellTextAt(int row, int column) const;
    runtime::Variant cellValueAt(int row, int column) const;
    // The source's field a column shows (-1: none), looked up by name once per bound source:
    // painting asks for it for every cell and every role.
    int fieldOfColumn(const RecordSource& source, int column) const;
    void noteChange();
    void reportError(const std::exception& e);
    void startNewRecord();

    DataControl* data_ = nullptr;
    GridModel* model_;
    std::vector<GridColumn> columns_;
    mutable std::vector<int> columnFields_;
    mutable const RecordSource* columnFieldsOf_ = nullptr;
    std::map<std::string, CellStyle> styles_;
    StyleFunction styleFn_;
    std::vector<int> selectionOrder_;
    bool changeNoted_ = false;
    bool resizingByProgram_ = false;
    int editingColumn_ = -1;
    bool allowAddNew_ = false;
};

} // namespace widgets
