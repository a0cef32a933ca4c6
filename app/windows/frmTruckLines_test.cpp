// The truck lines window on a real shipments database: what a read-only account may do, the
// abbreviation rules, the hints and caption, delete, and the board's list after closing.
#include "frmTruckLines.h"

#include "board_server_database.h"
#include "board_test_fixture.h"

#include "widgets/status_bar.h"

#include <QHeaderView>
#include <QMdiArea>

#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionTitleBar>

using namespace boardtest;

namespace {
const QString kAbbreviationHint = "Enter a short (3 or 4 letter) abbreviation for this truck line.";
const QString kNameHint = "Enter the full name of the truck line plus any payment modifiers, e.g. /Collect.";
} // namespace

class TruckLines : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        addLines();
    }
    void addLines() {
        for (auto [abbreviation, name] : {std::pair<const char*, Variant>{"ABF", "ABF Freight"},
                                          {"CON", Variant::null()},
                                          {"YRC", "Yellow Freight/Collect"}})
            db.Execute(std::string("INSERT INTO [Truck Lines] (TruckLineAbbr, TruckLineName) VALUES ('") +
                       abbreviation + "', " + (name.isNull() ? "Null" : "'" + name.toString() + "'") + ")");
    }
    void TearDown() override {
        if (auto* w = frmTruckLines::openWindow()) w->cmdClose_Click();
        BoardFixture::TearDown();
    }
    std::vector<std::string> storedAbbreviations() {
        std::vector<std::string> out;
        auto rs = db.OpenRecordset("SELECT TruckLineAbbr FROM [Truck Lines] ORDER BY TruckLineAbbr",
                                   dao::dbOpenSnapshot);
        for (; !rs.atEOF(); rs.MoveNext())
            out.push_back(rs["TruckLineAbbr"].toString());
        return out;
    }
    void typeNewLine(frmTruckLines& w, const Variant& abbreviation, const Variant& name) {
        auto source = w.datTruckLines->source();
        source->addNew();
        source->setValue(source->fieldIndex("TruckLineAbbr"), abbreviation);
        source->setValue(source->fieldIndex("TruckLineName"), name);
    }
};

TEST_F(TruckLines, AReadOnlyAccountCanOnlyLook) {
    const std::string workgroup = dir.filePath("system.mdw").toStdString();
    if (!QFile::exists(QString::fromStdString(workgroup))) {
        dao::Workgroup::create(workgroup);
        dao::Workgroup(workgroup).addAccount("clerk", "secret", dao::Permission::Read);
    }
    dao::engine().setSystemDB(workgroup);
    dao::engine().setDefaultUser("clerk");
    dao::engine().setDefaultPassword("secret");
    frmTruckLines& w = frmTruckLines::showWindow();
    EXPECT_EQ(w.datTruckLines->source()->rowCount(), 3);
    EXPECT_FALSE(w.cmdUpdate->isEnabled());
    EXPECT_FALSE(w.cmdDelete->isEnabled());
}

TEST_F(TruckLines, ALineAddedHereIsOfferedByTheBoardOnceTheWindowCloses) {
    frmShipments& board = openBoard(2);
    frmTruckLines& w = frmTruckLines::showWindow();
    EXPECT_EQ(w.subWindow()->windowTitle(), "Available Trucking Lines");
    EXPECT_TRUE(w.cmdUpdate->isEnabled());
    typeNewLine(w, "FDX", "FedEx Freight");
    w.cmdUpdate_Click();
    EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"ABF", "CON", "FDX", "YRC"}));
    w.cmdClose_Click();
    EXPECT_FALSE(frmTruckLines::exists());
    bool offered = false;
    for (const auto& item : board.VxGrid1->Columns(boardtest::kCarrierColumn).valueItems)
        offered = offered || (item.value == Variant("FDX") && item.display == "FedEx Freight");
    EXPECT_TRUE(offered);
    // Every line is offered, the one without a name too.
    EXPECT_EQ(board.VxGrid1->Columns(boardtest::kCarrierColumn).valueItems.size(), 4u);
    EXPECT_TRUE(dialogs->shown().empty());
}

// Lines typed one after another into the "*" line: each stored line gets a new empty "*" line
// after it that the grid really shows, without reopening the window.
TEST_F(TruckLines, EveryStoredNewLineIsFollowedByAnEmptyOne) {
    frmTruckLines& w = frmTruckLines::showWindow();
    widgets::DataGrid& grid = *w.VxGrid1;
    for (auto [abbreviation, name] : {std::pair{"FDX", "FedEx Freight"}, {"UPS", "United Parcel"}}) {
        const int newLine = grid.newRowIndex();
        ASSERT_GE(newLine, 0);
        ASSERT_TRUE(grid.model()->setData(grid.model()->index(newLine, 0), abbreviation, Qt::EditRole));
        ASSERT_TRUE(grid.model()->setData(grid.model()->index(newLine, 1), name, Qt::EditRole));
        w.cmdUpdate_Click();
        EXPECT_EQ(grid.newRowIndex(), newLine + 1) << abbreviation;
        EXPECT_EQ(grid.verticalHeader()->count(), newLine + 2) << "the grid shows the new line";
        EXPECT_EQ(grid.model()->headerData(newLine, Qt::Vertical).toString(), "") << abbreviation;
        EXPECT_EQ(grid.model()->headerData(newLine + 1, Qt::Vertical).toString(), "*") << abbreviation;
    }
    EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"ABF", "CON", "FDX", "UPS", "YRC"}));
    EXPECT_TRUE(dialogs->shown().empty());
}

// Every child window a clerk opens shows an icon of its own (not the toolkit's logo) and a close box
// in its title bar, as the style draws them.
TEST_F(TruckLines, ChildWindowsHaveAnIconAndACloseBox) {
    openBoard(1);
    frmCalendarForm::instance().showCalendar();
    frmSearch::instance().showSearch();
    frmTruckLines& lines = frmTruckLines::showWindow();
    for (auto [name, sub] : {std::pair{"board", frmShipments::instance().subWindow()},
                             {"calendar", frmCalendarForm::instance().subWindow()},
                             {"search", frmSearch::instance().subWindow()},
                             {"truck lines", lines.subWindow()}}) {
        EXPECT_FALSE(sub->windowIcon().isNull()) << name;
        QStyleOptionTitleBar bar;
        bar.initFrom(sub);
        bar.rect = QRect(0, 0, sub->width(), 24);
        bar.titleBarFlags = sub->windowFlags();
        bar.subControls = QStyle::SC_All;
        EXPECT_TRUE(sub->style()
                        ->subControlRect(QStyle::CC_TitleBar, &bar, QStyle::SC_TitleBarCloseButton, sub)
                        .isValid())
            << name;
    }
}

TEST_F(TruckLines, AnEmptyOrDuplicateAbbreviationIsRefusedAndNothingStored) {
    frmTruckLines& w = frmTruckLines::showWindow();
    struct Case {
        Variant abbreviation;
        std::string message;
    };
    const Case cases[] = {
        {Variant::null(), "Enter an abbreviation for this truck line before saving it."},
        {"   ", "Enter an abbreviation for this truck line before saving it."},
        {"abf ",
         "There is already a truck line with the abbreviation \"abf\".  Enter a different abbreviation."},
    };
    for (const Case& c : cases) {
        typeNewLine(w, c.abbreviation, "Somebody Trucking");
        w.cmdUpdate_Click();
        ASSERT_FALSE(dialogs->shown().empty());
        EXPECT_EQ(dialogs->shown().back().prompt, c.message);
        dialogs->clear();
        EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"ABF", "CON", "YRC"}));
        w.datTruckLines->source()->cancelUpdate();
    }
    // Renaming a line to another line's abbreviation is refused the same way; its own is fine.
    auto source = w.datTruckLines->source();
    w.datTruckLines->moveTo(2);
    source->edit();
    source->setValue(source->fieldIndex("TruckLineAbbr"), Variant("Con"));
    w.cmdUpdate_Click();
    EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"ABF", "CON", "YRC"}));
    source->cancelUpdate();
    source->edit();
    source->setValue(source->fieldIndex("TruckLineName"), Variant("Yellow Roadway"));
    w.cmdUpdate_Click();
    EXPECT_EQ(db.OpenRecordset("SELECT TruckLineName FROM [Truck Lines] WHERE TruckLineAbbr = 'YRC'",
                               dao::dbOpenSnapshot)["TruckLineName"],
              Variant("Yellow Roadway"));
}

TEST_F(TruckLines, CaptionAndHintsFollowTheCurrentRowAndColumn) {
    frmTruckLines& w = frmTruckLines::showWindow();
    w.datTruckLines->moveTo(0);
    EXPECT_EQ(w.datTruckLines->Caption(), "ABF Freight");
    w.datTruckLines->moveTo(1); // CON has no name: the caption stays
    EXPECT_EQ(w.datTruckLines->Caption(), "ABF Freight");
    w.datTruckLines->moveTo(2);
    EXPECT_EQ(w.datTruckLines->Caption(), "Yellow Freight/Collect");

    // The hints go to the first panel of the main window's status bar, as every window's do.
    widgets::StatusBar* status = frmMain::instance().sbStatus;
    auto* grid = w.VxGrid1;
    grid->setCurrentIndex(grid->model()->index(2, 0));
    EXPECT_EQ(status->panelText(1), kAbbreviationHint);
    grid->setCurrentIndex(grid->model()->index(2, 1));
    EXPECT_EQ(status->panelText(1), kNameHint);
    // Activating the window shows the hint of its current column again.
    status->setPanelText(1, "");
    frmMain::instance().mdiArea()->setActiveSubWindow(nullptr);
    frmMain::instance().mdiArea()->setActiveSubWindow(w.subWindow());
    EXPECT_EQ(status->panelText(1), kNameHint);
}

TEST_F(TruckLines, ClosedAndOpenedAgainItShowsTheStoredLines) {
    frmTruckLines& first = frmTruckLines::showWindow();
    EXPECT_EQ(&frmTruckLines::showWindow(), &first); // a second request brings the same window forward
    typeNewLine(first, "SAIA", "Saia LTL");
    first.cmdClose_Click(); // the line being typed is stored on the way out
    EXPECT_FALSE(frmTruckLines::exists());
    frmTruckLines& again = frmTruckLines::showWindow();
    EXPECT_FALSE(again.subWindow()->isHidden());
    EXPECT_EQ(again.subWindow()->windowTitle(), "Available Trucking Lines");
    EXPECT_EQ(again.datTruckLines->source()->rowCount(), 4);
    EXPECT_TRUE(again.cmdUpdate->isEnabled());
    EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"ABF", "CON", "SAIA", "YRC"}));
}

TEST_F(TruckLines, DeleteRemovesTheCurrentLineAtOnceAndShowsItsNeighbour) {
    frmTruckLines& w = frmTruckLines::showWindow();
    w.datTruckLines->moveTo(0);
    w.cmdDelete_Click();
    EXPECT_TRUE(dialogs->shown().empty()); // no question asked
    EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"CON", "YRC"}));
    EXPECT_EQ(w.datTruckLines->source()->rowCount(), 2);
    EXPECT_EQ(w.datTruckLines->source()->currentRow(), 0);
    w.datTruckLines->moveTo(1);
    w.cmdDelete_Click(); // the last line: its neighbour is the one before
    EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"CON"}));
    EXPECT_EQ(w.datTruckLines->source()->currentRow(), 0);
    EXPECT_EQ(w.VxGrid1->currentRowIndex(), 0);
}

// On a server the lines are told apart by their abbreviation, the table's key: lines are added,
// renamed, changed and deleted through the window all the same.
class TruckLinesOnServer : public TruckLines {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        useServerDatabase(db);
        addLines();
    }
};

TEST_F(TruckLinesOnServer, LinesAreAddedRenamedChangedAndDeleted) {
    frmTruckLines& w = frmTruckLines::showWindow();
    EXPECT_TRUE(w.cmdUpdate->isEnabled());
    typeNewLine(w, "FDX", "FedEx Freight");
    w.cmdUpdate_Click();
    auto source = w.datTruckLines->source();
    w.datTruckLines->moveTo(2); // YRC (FDX comes after it, added last): a new abbreviation, then a new name
    source->edit();
    source->setValue(source->fieldIndex("TruckLineAbbr"), Variant("YRCW"));
    w.cmdUpdate_Click();
    source->edit();
    source->setValue(source->fieldIndex("TruckLineName"), Variant("Yellow Roadway"));
    w.cmdUpdate_Click();
    EXPECT_TRUE(dialogs->shown().empty()) << dialogs->shown()[0].prompt;
    w.datTruckLines->moveTo(1);
    w.cmdDelete_Click();
    EXPECT_EQ(storedAbbreviations(), (std::vector<std::string>{"ABF", "FDX", "YRCW"}));
    EXPECT_EQ(db.OpenRecordset("SELECT TruckLineName FROM [Truck Lines] WHERE TruckLineAbbr = 'YRCW'",
                               dao::dbOpenSnapshot)["TruckLineName"],
              Variant("Yellow Roadway"));
}
