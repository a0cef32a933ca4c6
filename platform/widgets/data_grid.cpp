#include "data_grid.h"

#include "grid_delegate.h"
#include "grid_model.h"
#include "twips.h"

#include "runtime/dialogs.h"
#include "runtime/error.h"
#include "runtime/locale_text.h"

#include <QHeaderView>
#include <QTimer>
#include <algorithm>

namespace widgets {

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
    setModel(model_);
    setItemDelegate(new GridDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setAlternatingRowColors(false);
    // Every row has the same height, so the view never measures rows it does not paint.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(twipsToPixels(225));
    verticalHeader()->setFixedWidth(14);
    verticalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    // A caption wider than its column ends in "…" (its tool tip shows it whole).
    horizontalHeader()->setTextElideMode(Qt::ElideRight);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &DataGrid::onCurrentChanged);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &DataGrid::onSelectionChanged);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int size) {
        if (resizingByProgram_ || col >= columnCount()) return;
        columns_[col].widthTwips = pixelsToTwips(size);
        emit ColResize(col);
    });
    // Row heights change together, as in a grid with one row height.
    verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    verticalHeader()->setMinimumSectionSize(8);
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int, int, int size) {
        if (resizingByProgram_) return;
        resizingByProgram_ = true;
        verticalHeader()->setDefaultSectionSize(size);
        verticalHeader()->resizeSections(QHeaderView::Fixed);
        verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        resizingByProgram_ = false;
        emit RowResize();
    });
}

void DataGrid::setDataSource(DataControl* control) {
    if (data_) disconnect(data_, nullptr, this, nullptr);
    data_ = control;
    if (data_) {
        connect(data_, &DataControl::sourceChanged, this, &DataGrid::rebind);
        // The navigator's buttons move the record; the grid's current row follows.
        connect(data_, &DataControl::Reposition, this, [this] {
            auto source = data_->source();
            if (!source || source->currentRow() < 0 || source->currentRow() == currentRowIndex()) return;
            model_->showRowsRead(); // the record moved to may be one read just now
            selectionModel()->setCurrentIndex(
                model_->index(source->currentRow(), std::max(0, currentColumn())),
                QItemSelectionModel::NoUpdate);
        });
    }
    rebind();
}

void DataGrid::rebind() {
    columnFieldsOf_ = nullptr;
    selectionOrder_.clear();
    changeNoted_ = false;
    model_->reset();
    resizingByProgram_ = true;
    for (int i = 0; i < columnCount(); ++i) {
        setColumnWidth(i, twipsToPixels(columns_[i].widthTwips));
        setColumnHidden(i, !columns_[i].visible);
    }
    resizingByProgram_ = false;
    auto source = data_ ? data_->source() : nullptr;
    if (source && source->rowCount() > 0) {
        int col = std::max(0, currentColumn());
        selectionModel()->setCurrentIndex(model_->index(0, col), QItemSelectionModel::NoUpdate);
    }
}

int DataGrid::addColumn(const QString& caption, const std::string& dataField, ColumnDisplay display) {
    GridColumn c;
    c.caption = caption;
    c.dataField = dataField;
    c.display = display;
    columns_.push_back(std::move(c));
    model_->reset();
    columnChanged(columnCount() - 1);
    return columnCount() - 1;
}

GridColumn& DataGrid::Columns(int index) {
    if (index < 0 || index >= columnCount())
        throw runtime::Error(runtime::err::SubscriptOutOfRange, "DataGrid",
                             "There is no grid column " + std::to_string(index));
    return columns_[index];
}

GridColumn* DataGrid::columnByCaption(const QString& caption) {
    for (auto& c : columns_)
        if (c.caption.compare(caption, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

int DataGrid::columnOfField(const std::string& dataField) const {
    for (int i = 0; i < columnCount(); ++i)
        if (QString::fromStdString(columns_[i].dataField)
                .compare(QString::fromStdString(dataField), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DataGrid::columnChanged(int index) {
    const GridColumn& c = Columns(index);
    resizingByProgram_ = true;
    setColumnWidth(index, twipsToPixels(c.widthTwips));
    setColumnHidden(index, !c.visible);
    resizingByProgram_ = false;
    emit model_->headerDataChanged(Qt::Horizontal, index, index);
    viewport()->update();
}

double DataGrid::rowHeightTwips() const {
    return pixelsToTwips(verticalHeader()->defaultSectionSize());
}

void DataGrid::setRowHeightTwips(double twips) {
    resizingByProgram_ = true;
    verticalHeader()->setDefaultSectionSize(std::max(8, twipsToPixels(twips)));
    verticalHeader()->resizeSections(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    resizingByProgram_ = false;
}

void DataGrid::addStyle(const std::string& name, const CellStyle& style) {
    styles_[name] = style;
}

const CellStyle* DataGrid::styleOf(int row, int column) const {
    if (!styleFn_) return nullptr;
    std::string name;
    try {
        name = styleFn_(row, column);
    } catch (const std::exception&) {
        return nullptr; // a row that cannot be read paints plain
    }
    auto it = styles_.find(name);
    return it == styles_.end() ? nullptr : &it->second;
}

std::vector<runtime::Bytes> DataGrid::selectedBookmarks() const {
    std::vector<runtime::Bytes> marks;
    auto source = data_ ? data_->source() : nullptr;
    if (!source) return marks;
    for (int row : selectionOrder_)
        if (row < source->rowCount()) marks.push_back(source->bookmark(row));
    return marks;
}

void DataGrid::clearSelectedRows() {
    selectionModel()->clearSelection();
    selectionOrder_.clear();
}

void DataGrid::onSelectionChanged(const QItemSelection&, const QItemSelection&) {
    // Keep the order in which rows became fully selected; drop rows no longer selected.
    QModelIndexList rows = selectionModel()->selectedRows();
    std::vector<int> now;
    for (const QModelIndex& i : rows)
        now.push_back(i.row());
    std::erase_if(selectionOrder_, [&](int r) { return std::find(now.begin(), now.end(), r) == now.end(); });
    std::sort(now.begin(), now.end());
    for (int r : now)
        if (std::find(selectionOrder_.begin(), selectionOrder_.end(), r) == selectionOrder_.end())
            selectionOrder_.push_back(r);
}

int DataGrid::currentRowIndex() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}
int DataGrid::currentColumn() const {
    return currentIndex().isValid() ? currentIndex().column() : -1;
}

int DataGrid::fieldOfColumn(const RecordSource& source, int column) const {
    if (columnFieldsOf_ != &source || columnFields_.size() != columns_.size()) {
        columnFields_.clear();
        for (const GridColumn& c : columns_)
            columnFields_.push_back(source.fieldIndex(c.dataField));
        columnFieldsOf_ = &source;
    }
    return columnFields_[size_t(column)];
}

runtime::Variant DataGrid::cellValueAt(int row, int column) const {
    auto source = data_ ? data_->source() : nullptr;
    if (!source || column < 0 || column >= columnCount()) return runtime::Variant::null();
    int field = fieldOfColumn(*source, column);
    if (field < 0) return runtime::Variant::null();
    if (row == newRowIndex())
        return source->editMode() == EditMode::Adding ? source->editedValue(field) : runtime::Variant::null();
    if (row == source->currentRow() && source->editMode() == EditMode::Editing)
        return source->editedValue(field);
    return source->value(row, field);
}

QString DataGrid::cellTextAt(int row, int column) const {
    try {
        return columns_[column].textOf(cellValueAt(row, column));
    } catch (const std::exception&) {
        return {};
    }
}

QString DataGrid::cellText(int column) const {
    return cellTextAt(currentRowIndex(), column);
}
runtime::Variant DataGrid::cellValue(int column) const {
    return cellValueAt(currentRowIndex(), column);
}

void DataGrid::setCellValue(int column, const runtime::Variant& value) {
    auto source = data_ ? data_->source() : nullptr;
    if (!source) throw runtime::Error(3021, "DataGrid", "There is no current record.");
    Columns(column); // a column that is not there is an error
    int field = fieldOfColumn(*source, column);
    if (source->editMode() == EditMode::None) {
        if (source->currentRow() < 0) throw runtime::Error(3021, "DataGrid", "There is no current record.");
        source->edit();
    }
    source->setValue(field, value);
    model_->rowChanged(source->editMode() == EditMode::Adding ? newRowIndex() : source->currentRow());
}

bool DataGrid::acceptCellText(int row, int column, const QString& text) {
    auto source = data_ ? data_->source() : nullptr;
    if (!source) return false;
    try {
        const bool newLine = row == newRowIndex();
        if (!newLine && row != source->currentRow()) data_->moveTo(row);
        const GridColumn& col = Columns(column);
        std::optional<runtime::Variant> value = col.valueOf(text);
        if (!value) {
            // Typed text that is no value of the column: keep the cell as it was and say why.
            const bool date = col.display != ColumnDisplay::YesNo;
            runtime::MsgBox("\"" + text.toStdString() + "\" is not " + (date ? "a date" : "Yes or No") +
                                ". " + col.caption.toStdString() + " keeps its value." +
                                (date ? "  Type " + runtime::dateFormHint() + "." : std::string()),
                            runtime::mb::Exclamation);
            return false;
        }
        bool cancel = false;
        emit BeforeColUpdate(column, cellValueAt(row, column), &*value, &cancel);
        if (cancel) return false;
        if (newLine && source->editMode() != EditMode::Adding) startNewRecord();
        if (source->editMode() == EditMode::None) source->edit();
        source->setValue(fieldOfColumn(*source, column), *value);
        model_->rowChanged(row);
        emit AfterColUpdate(column);
        return true;
    } catch (const std::exception& e) {
        reportError(e);
        return false;
    }
}

void DataGrid::noteChange() {
    if (changeNoted_) return;
    changeNoted_ = true;
    emit Change();
}

// An edit that begins on a row without changes pending is a new change, however the last one
// was stored (by leaving the row, or by the window that owns the grid storing it itself).
bool DataGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    auto source = data_ ? data_->source() : nullptr;
    if (source && source->editMode() == EditMode::None) changeNoted_ = false;
    return QTableView::edit(index, trigger, event);
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    int column = currentColumn();
    QTableView::closeEditor(editor, hint);
    emit AfterColEdit(column);
}

bool DataGrid::storeCurrentRow() {
    auto source = data_ ? data_->source() : nullptr;
    if (!source || source->editMode() == EditMode::None) return true;
    try {
        const bool adding = source->editMode() == EditMode::Adding;
        const int row = adding ? newRowIndex() : source->currentRow();
        source->update();
        changeNoted_ = false;
        if (adding)
            model_->rowAdded(row);
        else
            model_->rowChanged(row);
        return true;
    } catch (const std::exception& e) {
        reportError(e);
        return false;
    }
}

void DataGrid::onCurrentChanged(const QModelIndex& current, const QModelIndex& previous) {
    viewport()->update(); // the current row's frame moves with it
    auto source = data_ ? data_->source() : nullptr;
    if (!source || !current.isValid() || current.row() == previous.row()) {
        emit RowColChange();
        return;
    }
    // Leaving a changed row (or the new-row line with a record begun) stores it; when the store
    // fails the row stays current with its edits. Coming back to it after that is no move.
    const EditMode mode = source->editMode();
    const bool leavingAdded = mode == EditMode::Adding && current.row() != newRowIndex();
    const bool leavingEdited = mode == EditMode::Editing && current.row() != source->currentRow();
    if ((leavingAdded || leavingEdited) && !storeCurrentRow()) {
        if (previous.isValid())
            QTimer::singleShot(0, this, [this, previous] {
                selectionModel()->setCurrentIndex(previous, QItemSelectionModel::NoUpdate);
            });
        return;
    }
    // The new-row line is no record: the source stays where it was until something is typed.
    if (current.row() != newRowIndex() && current.row() != source->currentRow()) data_->moveTo(current.row());
    emit RowColChange();
}

void DataGrid::reportError(const std::exception& e) {
    if (auto* err = dynamic_cast<const runtime::Error*>(&e); err && data_)
        data_->reportError(err->number(), QString::fromStdString(err->description()));
    else
        runtime::MsgBox(e.what(), runtime::mb::Exclamation);
}

void DataGrid::Refresh() {
    viewport()->update();
}

void DataGrid::showRowsRead() {
    model_->showRowsRead();
}

// Ctrl+End, or a step down from the last row shown, goes on into the rows still to be read.
QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    bool toEnd = action == MoveEnd && (modifiers & Qt::ControlModifier);
    bool pastLast = (action == MoveDown || action == MovePageDown) && currentIndex().row() >= model_->rowCount() - 1;
    if ((toEnd || pastLast) && model_->canFetchMore({})) model_->fetchMore({});
    return QTableView::moveCursor(action, modifiers);
}

void DataGrid::setAllowAddNew(bool allow) {
    allowAddNew_ = allow;
    model_->reset();
}

int DataGrid::newRowIndex() const {
    auto source = data_ ? data_->source() : nullptr;
    // The new-row line follows the last row: not there until every row is read.
    if (!allowAddNew_ || !source || !source->updatable() || source->moreRowsToRead()) return -1;
    return source->rowCount();
}

void DataGrid::startNewRecord() {
    auto source = data_->source();
    if (source->editMode() == EditMode::Editing && !storeCurrentRow()) return;
    source->addNew();
    for (int i = 0; i < columnCount(); ++i)
        if (columns_[i].defaultValue) {
            int field = fieldOfColumn(*source, i);
            if (field >= 0) source->setValue(field, *columns_[i].defaultValue);
        }
}

void DataGrid::addNewRow() {
    auto source = data_ ? data_->source() : nullptr;
    if (!source || newRowIndex() < 0) return;
    if (source->editMode() != EditMode::Adding) startNewRecord();
    if (source->editMode() != EditMode::Adding) return;
    int row = newRowIndex();
    model_->rowChanged(row);
    selectionModel()->setCurrentIndex(model_->index(row, std::max(0, currentColumn())),
                                      QItemSelectionModel::NoUpdate);
}

} // namespace widgets
