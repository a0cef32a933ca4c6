#include "memory_source.h"
#include "widgets/data_grid.h"

#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <gtest/gtest.h>

using namespace widgets;
using runtime::Variant;

namespace {

struct GridFixture : ::testing::Test {
    void SetUp() override {
        runtime::setDateLocale("en_US");
        dialogs = runtime::useScriptedDialogs();
        grid.setDataSource(&data);
        grid.addColumn("Work Order#", "WorkOrder");
        grid.addColumn("Late?", "Late", ColumnDisplay::YesNo);
        grid.addColumn("Scheduled Ship Date", "ReqShipDate", ColumnDisplay::ShortDate);
        grid.addColumn("Truck Line", "Carrier");
        grid.Columns(3).translate = true;
        grid.Columns(3).valueItems = {{Variant("UPS"), "United Parcel"}, {Variant("RL"), "R+L Carriers"}};
    }
    void bind(int rows, int readFirst = INT_MAX) {
        std::vector<std::vector<Variant>> data_rows;
        for (int i = 0; i < rows; ++i)
            data_rows.push_back({Variant("WO" + std::to_string(i)), Variant(i % 2 == 0),
                                 Variant(runtime::Date::fromYmd(2026, 12, 1 + i % 28)), Variant("UPS")});
        source = std::make_shared<MemorySource>(
            std::vector<std::string>{"WorkOrder", "Late", "ReqShipDate", "Carrier"}, std::move(data_rows));
        source->readSoFar = readFirst;
        data.setSource(source);
    }
    bool type(int row, int col, const QString& text) {
        return grid.model()->setData(grid.model()->index(row, col), text, Qt::EditRole);
    }

    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
    DataControl data;
    DataGrid grid;
    std::shared_ptr<MemorySource> source;
};

} // namespace

TEST_F(GridFixture, PaintingReadsOnlyTheVisibleRows) {
    bind(100000);
    grid.resize(600, 300);
    grid.show();
    source->reads = 0;
    grid.viewport()->repaint();
    QApplication::processEvents();
    EXPECT_GT(source->reads, 0);
    EXPECT_LT(source->reads, 2000) << "a screen of rows, not the whole record set";
}

// A large record set reads its first rows first: the view shows those, asks for the rest when it is
// scrolled to its end, and shows the new-row line only after the last row.
TEST_F(GridFixture, RowsReadLaterJoinTheViewAtItsEnd) {
    grid.setAllowAddNew(true);
    bind(1000, 256);
    grid.resize(600, 300);
    grid.show();
    QApplication::processEvents();
    EXPECT_EQ(grid.model()->rowCount(), 256);
    grid.scrollToBottom();
    QApplication::processEvents();
    EXPECT_EQ(grid.model()->rowCount(), 1001);
    EXPECT_EQ(grid.model()->headerData(1000, Qt::Vertical, Qt::DisplayRole), "*");
    EXPECT_EQ(grid.verticalHeader()->count(), 1001);

    // Ctrl+End goes to the last record, past the rows read first.
    bind(1000, 256);
    QKeyEvent ctrlEnd(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(&grid, &ctrlEnd);
    QWidget elsewhere; // the application keeps the last key's modifiers: none held for later tests
    QKeyEvent plain(QEvent::KeyPress, Qt::Key_F35, Qt::NoModifier);
    QApplication::sendEvent(&elsewhere, &plain);
    EXPECT_EQ(grid.currentIndex().row(), 1000) << "the new-row line after the last record";

    // Rows read because a program asked for a later record join the view as well.
    bind(1000, 256);
    source->readAllRows();
    data.moveTo(900);
    EXPECT_EQ(grid.verticalHeader()->count(), 1001);
    EXPECT_EQ(grid.currentRowIndex(), 900);
}

TEST_F(GridFixture, ShowsValuesAsTheColumnsSay) {
    bind(2);
    EXPECT_EQ(grid.model()->index(0, 1).data().toString(), "Yes");
    EXPECT_EQ(grid.model()->index(1, 1).data().toString(), "No");
    EXPECT_EQ(grid.model()->index(0, 2).data().toString(), "12/1/2026");
    EXPECT_EQ(grid.model()->index(0, 3).data().toString(), "United Parcel");
    // The header shows as much of the caption as its column holds, the tip all of it.
    EXPECT_EQ(grid.model()->headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(), "Scheduled Ship Date");
    grid.Columns(2).widthTwips = 6000;
    grid.columnChanged(2);
    EXPECT_EQ(grid.model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Scheduled Ship Date");
    grid.Columns(2).widthTwips = 900;
    grid.columnChanged(2);
    const QString narrow = grid.model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_TRUE(narrow.startsWith("Sch") && narrow.endsWith(QChar(0x2026))) << narrow.toStdString();
}

TEST_F(GridFixture, EditsGoThroughTheNotificationsAndAreStoredOnLeavingTheRow) {
    bind(3);
    std::vector<std::string> events;
    QObject::connect(&grid, &DataGrid::BeforeColUpdate,
                     [&](int col, const Variant& old, Variant* now, bool* cancel) {
                         events.push_back("before " + std::to_string(col) + " was " + old.toString());
                         *cancel = col == 0; // work orders are refused
                         if (col == 3 && now->toString() == "RL")
                             *now = Variant("UPS"); // and a handler may change a value
                     });
    QObject::connect(&grid, &DataGrid::AfterColUpdate,
                     [&](int col) { events.push_back("after " + std::to_string(col)); });

    grid.setCurrentIndex(grid.model()->index(1, 1));
    EXPECT_FALSE(type(1, 0, "WO99"));
    EXPECT_EQ(source->editMode(), EditMode::None) << "a refused change leaves the row untouched";
    EXPECT_TRUE(type(1, 1, "yes"));
    EXPECT_TRUE(type(1, 3, "R+L Carriers"));
    EXPECT_EQ(events, (std::vector<std::string>{"before 0 was WO1", "before 1 was False", "after 1",
                                                "before 3 was UPS", "after 3"}));
    EXPECT_EQ(source->editMode(), EditMode::Editing);
    EXPECT_EQ(grid.cellText(1), "Yes") << "the edit buffer shows while the row is edited";
    EXPECT_EQ(source->value(1, 3).toString(), "UPS") << "nothing is written before the row is left";

    grid.setCurrentIndex(grid.model()->index(2, 1));
    EXPECT_EQ(source->updates, 1);
    EXPECT_EQ(source->value(1, 1), Variant(true));
    EXPECT_EQ(source->value(1, 3), Variant("UPS")) << "the value as the handler changed it";
    EXPECT_EQ(source->currentRow(), 2);
}

TEST_F(GridFixture, TextThatIsNoValueIsRefusedWithAMessage) {
    bind(2);
    grid.setCurrentIndex(grid.model()->index(0, 2));
    EXPECT_FALSE(type(0, 2, "next week"));
    EXPECT_FALSE(type(0, 1, "maybe"));
    ASSERT_EQ(dialogs->shown().size(), 2u);
    EXPECT_NE(dialogs->shown()[0].prompt.find("\"next week\" is not a date"), std::string::npos);
    EXPECT_EQ(source->editMode(), EditMode::None);
    EXPECT_TRUE(type(0, 2, "")) << "an empty date is Null";
    EXPECT_TRUE(grid.cellValue(2).isNull());
}

TEST_F(GridFixture, AFailedStoreKeepsTheRowAndItsEdits) {
    bind(3);
    grid.setCurrentIndex(grid.model()->index(0, 0));
    ASSERT_TRUE(type(0, 0, "WO-new"));
    source->failNextUpdate = 3197;
    long reported = 0;
    QObject::connect(&data, &DataControl::Error, [&](long n, const QString&, bool* handled) {
        reported = n;
        *handled = true;
    });
    grid.setCurrentIndex(grid.model()->index(1, 0));
    QApplication::processEvents();
    EXPECT_EQ(reported, 3197);
    EXPECT_EQ(source->editMode(), EditMode::Editing);
    EXPECT_EQ(grid.currentRowIndex(), 0);
    EXPECT_EQ(grid.cellText(0), "WO-new");
}

TEST_F(GridFixture, SelectedRowsComeBackInTheOrderTheyWereSelected) {
    bind(5);
    auto* sel = grid.selectionModel();
    sel->select(grid.model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->select(grid.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.selectRow(4); // a plain click replaces the selection
    sel->select(grid.model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    std::vector<int> rows;
    for (auto& b : grid.selectedBookmarks())
        rows.push_back(source->rowOfBookmark(b));
    EXPECT_EQ(rows, (std::vector<int>{4, 0}));
}

TEST_F(GridFixture, StylesAreAskedPerCellAndWidthsKeptInTwips) {
    bind(4);
    grid.addStyle("Late", {Qt::red, Qt::yellow, true});
    grid.setStyleFunction([](int row, int col) { return row == 2 && col == 0 ? "Late" : ""; });
    EXPECT_EQ(grid.model()->index(2, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::yellow));
    EXPECT_FALSE(grid.model()->index(2, 1).data(Qt::BackgroundRole).isValid());

    int resized = -1;
    QObject::connect(&grid, &DataGrid::ColResize, [&](int col) { resized = col; });
    grid.Columns(1).widthTwips = 1440;
    grid.columnChanged(1);
    EXPECT_EQ(resized, -1) << "widths set by the program raise no event";
    grid.horizontalHeader()->resizeSection(1, 192); // the user drags: two inches at 96 dpi
    EXPECT_EQ(resized, 1);
    EXPECT_NEAR(grid.Columns(1).widthTwips, 2880, 1);
}

TEST_F(GridFixture, NewRecordsAreTypedIntoTheNewRowLine) {
    bind(2);
    grid.Columns(1).defaultValue = Variant(false);
    EXPECT_EQ(grid.model()->rowCount(), 2) << "no new-row line unless allowed";
    grid.setAllowAddNew(true);
    ASSERT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.model()->headerData(2, Qt::Vertical, Qt::DisplayRole).toString(), "*");

    grid.setCurrentIndex(grid.model()->index(2, 0));
    EXPECT_EQ(source->currentRow(), 0) << "stepping onto the line starts nothing";
    EXPECT_EQ(source->editMode(), EditMode::None);
    ASSERT_TRUE(type(2, 0, "WO-NEW")) << (dialogs->shown().empty() ? "" : dialogs->shown().back().prompt);
    EXPECT_EQ(source->editMode(), EditMode::Adding);
    EXPECT_EQ(grid.model()->index(2, 1).data().toString(), "No") << "defaults fill the new record";

    grid.setCurrentIndex(grid.model()->index(0, 0)); // leaving the line stores the record
    EXPECT_EQ(source->rowCount(), 3);
    EXPECT_EQ(source->value(2, 0), Variant("WO-NEW"));
    EXPECT_EQ(grid.model()->rowCount(), 4) << "a fresh new-row line follows";
    EXPECT_EQ(source->currentRow(), 0);

    source->updatable_ = false;
    EXPECT_EQ(grid.newRowIndex(), -1) << "a read-only record set offers no new row";
}
