// The board's editing operations on a real shipments database: Ship +/- (split, exact, spread of an
// over-shipment), cancel and delete, move, what happens when another workstation changed a row or a
// write fails half-way, and editing while the search window owns the board.
#include "board_layout.h"
#include "board_server_database.h"
#include "board_test_fixture.h"
#include "live_board.h"

#include <chrono>
#include <thread>
#include "frmSearch.h"

#include "runtime/dialogs.h"
#include "widgets/month_calendar.h"

#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <sqlite3.h>

using namespace boardtest;
using runtime::Answer;
using runtime::ScriptedDialogs;

namespace {

constexpr int kTodayTab = 1, kAllTab = 2, kCanceledTab = 6;
const Date kNextWeek = kToday.addDays(7);
const Date kYesterday = kToday.addDays(-1);

std::string shortDate(Date d) {
    return runtime::shortDateText(d);
}

// Runs `hook` when the input box with the given prompt appears, then answers from the script: what
// another workstation does while this user is typing.
class DialogsWithHook : public runtime::DialogService {
public:
    DialogsWithHook(std::shared_ptr<ScriptedDialogs> script, std::string prompt, std::function<void()> hook)
        : script_(std::move(script)), prompt_(std::move(prompt)), hook_(std::move(hook)) {}
    Answer msgBox(const std::string& prompt, int flags, const std::string& title) override {
        return script_->msgBox(prompt, flags, title);
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        if (prompt == prompt_ && hook_) std::exchange(hook_, nullptr)();
        return script_->inputBox(prompt, title, defaultText);
    }

private:
    std::shared_ptr<ScriptedDialogs> script_;
    std::string prompt_;
    std::function<void()> hook_;
};

const char* kHowMany = "How many parts do you want to ship today?";
const char* kRestDate = "When do the rest need to be shipped?";

} // namespace

// Editing on a file in en_US (the database made to refuse writes through SQLite itself);
// `BoardEditing` runs the same in every setting.
class BoardEditingOnFile : public BoardFixture {
protected:
    // Another workstation's own connection to the same database changes a shipment.
    void changeElsewhere(long id, const std::string& assignment) {
        dao::Workspace other = dao::engine().CreateWorkspace("Other", dao::engine().DefaultUser(),
                                                             dao::engine().DefaultPassword());
        dao::Database otherDb = other.OpenDatabase(path);
        otherDb.Execute("UPDATE Shipments SET " + assignment + " WHERE ShipmentID = " + std::to_string(id));
        otherDb.Close();
        other.Close();
    }
    std::string lastMessage() const {
        for (auto it = dialogs->shown().rbegin(); it != dialogs->shown().rend(); ++it)
            if (it->kind == ScriptedDialogs::Shown::Message) return it->prompt;
        return "";
    }
    bool messageStartsWith(const std::string& start) const { return lastMessage().rfind(start, 0) == 0; }

    // The database refuses one kind of write to the rows matching `when` (on OLD or NEW), as a full
    // disk or a broken file would half-way through an operation.
    void refuseWrites(const std::string& event, const std::string& when) {
        runSqlite("CREATE TRIGGER refuse" + std::to_string(++triggers_) + " BEFORE " + event +
                  " ON Shipments WHEN " + when +
                  " BEGIN SELECT RAISE(ABORT, 'write refused by the test'); END");
    }
    void allowWrites() {
        for (; triggers_ > 0; --triggers_)
            runSqlite("DROP TRIGGER refuse" + std::to_string(triggers_));
    }
    void runSqlite(const std::string& sql) {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "") << " in " << sql;
        sqlite3_free(error);
        sqlite3_close(handle);
    }
    void TearDown() override {
        if (frmSearch::exists()) frmSearch::unload();
        BoardFixture::TearDown();
    }
    // Lets what the board left for later (it reads a row again after a conflict) run.
    static void settle() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

private:
    int triggers_ = 0;
};

class BoardEditing : public BoardEditingOnFile, public ::testing::WithParamInterface<BoardSetting> {
protected:
    void SetUp() override {
        BoardEditingOnFile::SetUp();
        if (std::string uri = useBoardSetting(GetParam(), db); !uri.empty()) path = uri;
    }
};
INSTANTIATE_TEST_SUITE_P(Settings, BoardEditing, boardSettings(), boardSettingName);

TEST_P(BoardEditing, APartialShipmentSplitsOffTheRestWithTheOrdersDetails) {
    Shipment order;
    order.quantity = 1000;
    order.okToShip = false;
    order.comments = "Call before delivery";
    long dueNextWeek = add(order);
    long dueLastWeek = add(order);
    frmShipments& board = openBoard(kAllTab);

    for (auto [id, rest, late] :
         {std::tuple{dueNextWeek, kNextWeek, false}, {dueLastWeek, kYesterday, true}}) {
        makeCurrent(id);
        dialogs->type("400").type(shortDate(rest));
        board.cmdShipPlusMinus->click();
        ASSERT_EQ(dialogs->shown().size(), 2u) << lastMessage();
        EXPECT_EQ(dialogs->shown()[0].prompt, kHowMany);
        EXPECT_EQ(dialogs->shown()[0].title, "Dorvane");
        EXPECT_EQ(dialogs->shown()[1].prompt, kRestDate);
        EXPECT_EQ(dialogs->shown()[1].defaultText, shortDate(kToday)); // the row's required date
        dialogs->clear();

        auto shippedPart = stored(id);
        EXPECT_EQ(shippedPart["Quantity"], Variant(400));
        EXPECT_EQ(shippedPart["ActShipDate"].toDate(), kToday);
        EXPECT_EQ(shippedPart["OKToShip"], Variant(false)); // keeps its Ship OK? value

        long restId = lastShipmentID();
        ASSERT_NE(restId, id);
        auto restRow = stored(restId);
        EXPECT_EQ(restRow["Quantity"], Variant(600));
        EXPECT_EQ(restRow["ReqShipDate"].toDate(), rest);
        EXPECT_TRUE(restRow["ActShipDate"].isNull());
        EXPECT_EQ(restRow["Late"], Variant(late));
        for (const char* same : {"Comments", "Customer", "CustomerPO", "WorkOrder", "JobNum", "Carrier",
                                 "InvoiceNum", "OKToShip", "Canceled"})
            EXPECT_EQ(restRow[same], shippedPart[same]) << same;
    }
    EXPECT_EQ(shipmentCount(), 4);
    // The refreshed board lists the rest that is already overdue, not the one due next week.
    EXPECT_GE(boardRow(lastShipmentID()), 0);
    EXPECT_EQ(boardRow(lastShipmentID() - 1), -1);
}

TEST_P(BoardEditing, ShippingExactlyTheQuantityMarksTheRowShippedAndOkToShip) {
    Shipment order;
    order.quantity = 250;
    order.okToShip = false;
    long id = add(order);
    frmShipments& board = openBoard(kAllTab);
    makeCurrent(id);
    dialogs->type("250");
    board.cmdShipPlusMinus->click();
    auto row = stored(id);
    EXPECT_EQ(row["Quantity"], Variant(250));
    EXPECT_EQ(row["OKToShip"], Variant(true));
    EXPECT_EQ(row["ActShipDate"].toDate(), kToday);
    EXPECT_EQ(shipmentCount(), 1);
    EXPECT_TRUE(dialogs->allAnswersUsed());
}

TEST_P(BoardEditing, AnOverShipmentUsesUpTheSameJobsOpenRowsInDateOrder) {
    // The job number holds a quote: the statement that finds the open rows must still work.
    Shipment order;
    order.job = "O'Neil-7";
    order.quantity = 500;
    long current = add(order);
    Shipment open = order;
    open.comments = "Rush order   ";
    open.quantity = 800;
    open.required = kNextWeek;
    long later = add(open);
    open.quantity = 300;
    open.required = kToday.addDays(2);
    long sooner = add(open);
    Shipment otherWorkOrder = open;
    otherWorkOrder.workOrder = "W200";
    long untouched = add(otherWorkOrder);

    frmShipments& board = openBoard(kAllTab);
    makeCurrent(current);
    dialogs->type("1200");
    board.cmdShipPlusMinus->click();

    auto row = stored(current);
    EXPECT_EQ(row["Quantity"], Variant(1200)) << lastMessage();
    EXPECT_EQ(row["OKToShip"], Variant(true));
    EXPECT_EQ(row["ActShipDate"].toDate(), kToday);
    EXPECT_EQ(stored(sooner)["Quantity"], Variant(0));
    EXPECT_EQ(stored(sooner)["Comments"],
              Variant("Rush order  300 originally scheduled to be shipped.  We shipped 1200 on " +
                      shortDate(kToday) + "."));
    EXPECT_TRUE(stored(sooner)["ActShipDate"].isNull());
    EXPECT_EQ(stored(later)["Quantity"], Variant(400));
    EXPECT_EQ(stored(later)["Comments"],
              Variant("Rush order  800 originally scheduled to be shipped.  We shipped 1200 on " +
                      shortDate(kToday) + "."));
    EXPECT_EQ(stored(untouched)["Quantity"], Variant(300));
    EXPECT_EQ(stored(untouched)["Comments"], Variant("Rush order   "));
}

TEST_P(BoardEditing, AnAsapRowGoesFirstAndAnExactlyCoveredRowIsShipped) {
    Shipment order;
    order.quantity = 500;
    long current = add(order);
    Shipment open = order;
    open.quantity = 500;
    open.required = kToday.addDays(1);
    long exactlyCovered = add(open);
    open.quantity = 100;
    open.required = kToday.addDays(3);
    long beyond = add(open);
    open.quantity = 200;
    open.required.reset(); // ASAP
    long asap = add(open);

    frmShipments& board = openBoard(kAllTab);
    makeCurrent(current);
    dialogs->type("1200");
    board.cmdShipPlusMinus->click();

    EXPECT_EQ(stored(asap)["Quantity"], Variant(0));
    EXPECT_EQ(
        stored(asap)["Comments"],
        Variant("  200 originally scheduled to be shipped.  We shipped 1200 on " + shortDate(kToday) + "."));
    auto covered = stored(exactlyCovered);
    EXPECT_EQ(covered["Quantity"], Variant(500));
    EXPECT_EQ(covered["OKToShip"], Variant(true));
    EXPECT_EQ(covered["ActShipDate"].toDate(), kToday);
    EXPECT_EQ(covered["Comments"], Variant("  1200 total parts shipped on " + shortDate(kToday) + "."));
    EXPECT_EQ(stored(beyond)["Quantity"], Variant(100));
    EXPECT_TRUE(stored(beyond)["Comments"].isNull());
}

TEST_P(BoardEditing, ShipPlusMinusRefusesAnswersItCannotUseAndChangesNothing) {
    Shipment order;
    order.quantity = 1000;
    long id = add(order);
    frmShipments& board = openBoard(kAllTab);
    struct Case {
        std::vector<std::string> answers;
        std::string message; // "" when none is expected
    };
    const Case cases[] = {
        {{"-5"}, "The number of parts shipped cannot be negative.  Nothing was changed."},
        {{"lots"}, "\"lots\" is not a whole number of parts.  Nothing was changed."},
        // Numbers the language would read as something else than the clerk meant.
        {{"2.5"}, "\"2.5\" is not a whole number of parts.  Nothing was changed."},
        {{"0.4"}, "\"0.4\" is not a whole number of parts.  Nothing was changed."},
        {{"1,0"}, "\"1,0\" is not a whole number of parts.  Nothing was changed."},
        {{"&H10"}, "\"&H10\" is not a whole number of parts.  Nothing was changed."},
        {{"1e30"}, "\"1e30\" is not a whole number of parts.  Nothing was changed."},
        {{"3000000000"}, "\"3000000000\" is more parts than a shipment can hold.  Nothing was changed."},
        {{""}, ""},  // nothing shipped today
        {{"0"}, ""}, // the same
        {{"400", ""}, "No date was given for the rest of the parts.  Nothing was changed."},
        {{"400", "someday"},
         "\"someday\" is not a date.  Nothing was changed.  Type " + runtime::dateFormHint() + "."},
        {{"400", "10:30"}, // a time names no day
         "\"10:30\" is not a date.  Nothing was changed.  Type " + runtime::dateFormHint() + "."},
    };
    for (const Case& c : cases) {
        makeCurrent(id);
        for (const auto& a : c.answers)
            dialogs->type(a);
        board.cmdShipPlusMinus->click();
        EXPECT_TRUE(dialogs->allAnswersUsed());
        EXPECT_EQ(lastMessage(), c.message) << c.answers[0];
        dialogs->clear();
        EXPECT_EQ(stored(id)["Quantity"], Variant(1000));
        EXPECT_TRUE(stored(id)["ActShipDate"].isNull());
        EXPECT_EQ(shipmentCount(), 1);
    }
    // A thousands separator (the user's) is part of the number, not its end.
    makeCurrent(id);
    dialogs->type(runtime::dateLocale().rfind("de", 0) == 0 ? "1.000" : "1,000");
    board.cmdShipPlusMinus->click();
    EXPECT_EQ(stored(id)["ActShipDate"].toDate(), kToday);
    EXPECT_EQ(shipmentCount(), 1);
}

TEST_P(BoardEditing, ARowChangedElsewhereDuringShipPlusMinusLeavesEverythingAsItWas) {
    Shipment order;
    order.quantity = 1000;
    long id = add(order);
    frmShipments& board = openBoard(kAllTab);
    makeCurrent(id);
    // While this user types the rest date, another workstation edits the row being split.
    auto script = dialogs;
    runtime::setDialogs(std::make_shared<DialogsWithHook>(
        script, kRestDate, [&] { changeElsewhere(id, "Comments = 'Customer called'"); }));
    script->type("400").type(shortDate(kNextWeek));
    board.cmdShipPlusMinus->click();
    runtime::setDialogs(script);

    EXPECT_EQ(shipmentCount(), 1); // the rest row added first was rolled back with the rest
    auto row = stored(id);
    EXPECT_EQ(row["Quantity"], Variant(1000));
    EXPECT_TRUE(row["ActShipDate"].isNull());
    EXPECT_EQ(row["Comments"], Variant("Customer called"));
    EXPECT_NE(lastMessage().find("another workstation changed"), std::string::npos) << lastMessage();
    // The board shows the stored row again, and the next try works.
    makeCurrent(id);
    EXPECT_EQ((*bound())["Comments"], Variant("Customer called"));
    script->clear();
    script->type("400").type(shortDate(kNextWeek));
    board.cmdShipPlusMinus->click();
    EXPECT_EQ(shipmentCount(), 2);
    EXPECT_EQ(stored(id)["Quantity"], Variant(400));
}

TEST_P(BoardEditing, AfterAConflictTheClerksTypingStaysForUpdateOrRefresh) {
    Shipment order;
    long id = add(order);
    add(order); // a second row to move to
    frmShipments& board = openBoard(kAllTab);

    // Update over another workstation's change: refused, but what the clerk typed stays in the row
    // over the stored values, and the message says what the other workstation left there.
    makeCurrent(id);
    board.VxGrid1->setCellValue(kQuantityColumn, Variant(150));
    changeElsewhere(id, "Quantity = 175, Comments = 'Recounted'");
    board.DoUpdate();
    EXPECT_EQ(
        lastMessage(),
        "Another workstation changed this shipment after it was shown here, so your change was not saved "
        "yet.  Stored now: Quantity 175.  Your values are still in the row (Quantity 150): Update saves "
        "them over the stored ones; Refresh asks whether to discard them.");
    EXPECT_EQ(stored(id)["Quantity"], Variant(175));
    EXPECT_TRUE(board.Data1->editInProgress());
    EXPECT_EQ(board.VxGrid1->cellText(kQuantityColumn), "150");
    EXPECT_EQ(board.VxGrid1->cellText(board::col::Comments), "Recounted"); // theirs, not touched
    EXPECT_TRUE(board.cmdUpdate->isEnabled());
    // Update again stores the clerk's value, and keeps the other workstation's comment.
    board.DoUpdate();
    EXPECT_EQ(stored(id)["Quantity"], Variant(150));
    EXPECT_EQ(stored(id)["Comments"], Variant("Recounted"));
    EXPECT_FALSE(board.Data1->editInProgress());

    // Refresh discards the kept values when the clerk says so.
    dialogs->clear();
    makeCurrent(id);
    board.VxGrid1->setCellValue(kQuantityColumn, Variant(90));
    changeElsewhere(id, "Quantity = 120");
    board.DoUpdate();
    EXPECT_NE(lastMessage().find("Your values are still in the row (Quantity 90)"), std::string::npos);
    dialogs->answer(Answer::No);
    board.cmdRefresh->click();
    EXPECT_FALSE(board.Data1->editInProgress());
    EXPECT_EQ(stored(id)["Quantity"], Variant(120));
    makeCurrent(id);
    EXPECT_EQ(board.VxGrid1->cellText(kQuantityColumn), "120");

    // Leaving the row stores it as well: the same conflict keeps the typing on the row.
    dialogs->clear();
    makeCurrent(id);
    const int row = board.VxGrid1->currentRowIndex();
    board.VxGrid1->setCellValue(kQuantityColumn, Variant(60));
    changeElsewhere(id, "Quantity = 70");
    board.VxGrid1->setCurrentIndex(board.VxGrid1->model()->index(row == 0 ? 1 : 0, kQuantityColumn));
    settle();
    EXPECT_NE(lastMessage().find("Stored now: Quantity 70.  Your values are still in the row (Quantity 60)"),
              std::string::npos)
        << lastMessage();
    EXPECT_EQ(board.VxGrid1->currentRowIndex(), boardRow(id));
    EXPECT_EQ(board.VxGrid1->cellText(kQuantityColumn), "60");
    EXPECT_EQ(stored(id)["Quantity"], Variant(70));
    board.DoUpdate();
    EXPECT_EQ(stored(id)["Quantity"], Variant(60));
}

TEST_P(BoardEditing, CancelingOnTheTodayTabSkipsShippedRows) {
    Shipment order;
    long toCancel = add(order);
    Shipment shipped = order;
    shipped.shipped = kToday;
    long alreadyShipped = add(shipped);
    frmShipments& board = openBoard(kTodayTab);
    select(toCancel);
    select(alreadyShipped);
    board.DoDelete();
    EXPECT_EQ(stored(toCancel)["Canceled"], Variant(true));
    EXPECT_EQ(stored(toCancel)["OKToShip"], Variant(false));
    EXPECT_EQ(stored(toCancel)["ActShipDate"], Variant(kToday)); // the cancel date
    EXPECT_EQ(stored(alreadyShipped)["Canceled"], Variant(false));
    EXPECT_EQ(lastMessage(), "1 selected shipment was already shipped and is left as it is: you cannot "
                             "cancel an order that has already been shipped.");
    // After the refresh the Today tab no longer lists the canceled shipment.
    EXPECT_EQ(boardRow(toCancel), -1);
    EXPECT_GE(boardRow(alreadyShipped), 0);
}

TEST_P(BoardEditing, DeletingOnTheCanceledTabAsksForEachSelectedRow) {
    Shipment order;
    order.canceled = true;
    order.okToShip = false;
    long first = add(order), second = add(order), third = add(order);
    frmShipments& board = openBoard(kCanceledTab);
    EXPECT_EQ(board.cmdDelete->text(), "&Delete");
    select(third);
    select(first);
    select(second);
    dialogs->answer(Answer::Yes).answer(Answer::No).answer(Answer::Yes);
    board.DoDelete();
    ASSERT_EQ(dialogs->shown().size(), 3u);
    for (const auto& shown : dialogs->shown()) {
        EXPECT_EQ(
            shown.prompt.rfind("Are you sure you want to remove this canceled shipment from the database "
                               "permanently?",
                               0),
            0u)
            << shown.prompt;
        EXPECT_NE(shown.prompt.find("Work Order# W100, Acme, PO# PO-1, Job # J-1, 100 parts"),
                  std::string::npos)
            << shown.prompt;
        EXPECT_EQ(shown.flags, runtime::mb::YesNo + runtime::mb::Question);
    }
    // Asked in selection order: third (yes), first (no), second (yes).
    EXPECT_TRUE(stored(third).empty());
    EXPECT_FALSE(stored(first).empty());
    EXPECT_TRUE(stored(second).empty());
    EXPECT_EQ(board.Data1->source()->rowCount(), 1);
}

TEST_P(BoardEditing, MovingLateShipmentsClearsLateOnlyForTodayOrLater) {
    Shipment late;
    late.required = kToday.addDays(-3);
    late.late = true;
    long a = add(late), b = add(late), c = add(late), d = add(late);
    frmShipments& board = openBoard(kAllTab);
    const std::string prompt = "Enter the date you want  moved to in the box below, then click OK.";

    dialogs->type("not a date");
    select(a);
    board.DoMove();
    ASSERT_EQ(dialogs->shown().size(), 2u);
    EXPECT_EQ(dialogs->shown()[0].prompt, prompt);
    EXPECT_EQ(lastMessage(),
              "\"not a date\" is not a date.  No shipment was moved.  Type " + runtime::dateFormHint() + ".");
    EXPECT_EQ(stored(a)["ReqShipDate"].toDate(), kToday.addDays(-3));

    select(a);
    select(b);
    dialogs->type(shortDate(kNextWeek));
    board.DoMove();
    for (long id : {a, b}) {
        EXPECT_EQ(stored(id)["ReqShipDate"].toDate(), kNextWeek);
        EXPECT_EQ(stored(id)["Late"], Variant(false));
    }
    select(c);
    select(d);
    dialogs->type(shortDate(kYesterday));
    board.DoMove();
    for (long id : {c, d}) {
        EXPECT_EQ(stored(id)["ReqShipDate"].toDate(), kYesterday);
        EXPECT_EQ(stored(id)["Late"], Variant(true));
    }
    EXPECT_TRUE(dialogs->allAnswersUsed());
}

TEST_P(BoardEditing, AddingStartsANewRowThatUpdateStores) {
    frmShipments& board = openBoard(kAllTab);
    board.DoAdd();
    EXPECT_FALSE(board.cmdMove->isEnabled());
    EXPECT_FALSE(board.cmdDelete->isEnabled());
    EXPECT_TRUE(board.cmdUpdate->isEnabled());
    EXPECT_TRUE(frmMain::instance().mnuEditApply->isEnabled());
    auto source = board.Data1->source();
    source->setValue(source->fieldIndex("JobNum"), Variant("J-9"));
    source->setValue(source->fieldIndex("Quantity"), Variant(40));
    frmMain::instance().mnuEditApply->trigger(); // Edit > Apply runs the board's update
    EXPECT_EQ(shipmentCount(), 1);
    EXPECT_FALSE(board.cmdUpdate->isEnabled());
}

TEST_P(BoardEditing, ShipPlusMinusRefusesShippedAndCanceledRows) {
    Shipment shipped;
    shipped.quantity = 1000;
    shipped.shipped = kToday;
    long shippedId = add(shipped);
    Shipment canceled;
    canceled.quantity = 1000;
    canceled.canceled = true;
    canceled.okToShip = false;
    canceled.shipped = kToday; // on a canceled row: the day it was canceled
    long canceledId = add(canceled);
    frmShipments& board = openBoard(kAllTab);

    makeCurrent(shippedId);
    board.cmdShipPlusMinus->click();
    ASSERT_EQ(dialogs->shown().size(), 1u); // no question is asked
    EXPECT_EQ(lastMessage(), "This shipment was already shipped on " + shortDate(kToday) +
                                 ".  Ship +/- records only shipments "
                                 "that have not been shipped yet.  Nothing was changed.");
    dialogs->clear();
    makeCurrent(canceledId);
    board.cmdShipPlusMinus->click();
    ASSERT_EQ(dialogs->shown().size(), 1u);
    EXPECT_EQ(lastMessage(),
              "This shipment is canceled, so Ship +/- cannot record it as shipped.  Nothing was changed.");
    EXPECT_EQ(shipmentCount(), 2);
    for (long id : {shippedId, canceledId}) {
        EXPECT_EQ(stored(id)["Quantity"], Variant(1000));
        EXPECT_EQ(stored(id)["ActShipDate"].toDate(), kToday);
    }
    EXPECT_EQ(stored(canceledId)["OKToShip"], Variant(false));
}

TEST_P(BoardEditing, TheExcessOfAnOverShipmentSkipsCanceledAndEmptyRows) {
    Shipment order;
    order.quantity = 500;
    long current = add(order);
    Shipment open = order;
    open.required.reset(); // ASAP rows come first: these two would be used up first
    open.quantity = 0;
    long empty = add(open);
    open.quantity = 300;
    open.canceled = true;
    open.okToShip = false;
    long canceled = add(open);
    open = order;
    open.quantity = 800;
    open.required = kNextWeek;
    long later = add(open);

    frmShipments& board = openBoard(kAllTab);
    makeCurrent(current);
    dialogs->type("1200");
    board.cmdShipPlusMinus->click();

    EXPECT_EQ(stored(current)["Quantity"], Variant(1200)) << lastMessage();
    EXPECT_EQ(stored(later)["Quantity"], Variant(100));
    EXPECT_EQ(
        stored(later)["Comments"],
        Variant("  800 originally scheduled to be shipped.  We shipped 1200 on " + shortDate(kToday) + "."));
    for (long untouched : {empty, canceled}) {
        EXPECT_TRUE(stored(untouched)["Comments"].isNull()) << untouched;
        EXPECT_TRUE(stored(untouched)["ActShipDate"].isNull()) << untouched;
    }
    EXPECT_EQ(stored(empty)["Quantity"], Variant(0));
    EXPECT_EQ(stored(canceled)["Quantity"], Variant(300));
}

TEST_F(BoardEditingOnFile, ShipPlusMinusRecordsAllOrNothingWhenAWriteFails) {
    Shipment order;
    order.quantity = 1000;
    long split = add(order);
    frmShipments& board = openBoard(kAllTab);

    // The partial shipment adds the rest row first; the write to the shipped row then fails.
    refuseWrites("UPDATE", "OLD.ShipmentID = " + std::to_string(split));
    makeCurrent(split);
    dialogs->type("400").type(shortDate(kNextWeek));
    board.cmdShipPlusMinus->click();
    EXPECT_TRUE(messageStartsWith("The shipment was not recorded and nothing was changed: "))
        << lastMessage();
    EXPECT_NE(lastMessage().find("write refused by the test"), std::string::npos) << lastMessage();
    EXPECT_EQ(shipmentCount(), 1);
    EXPECT_EQ(stored(split)["Quantity"], Variant(1000));
    EXPECT_TRUE(stored(split)["ActShipDate"].isNull());
    allowWrites();
    dialogs->clear();

    // The over-shipment ships its own row and uses up the first open row before the second fails.
    Shipment open = order;
    open.quantity = 300;
    open.required = kToday.addDays(1);
    long sooner = add(open);
    open.quantity = 800;
    open.required = kNextWeek;
    long later = add(open);
    basGlobals::ApplyStatusTab();
    refuseWrites("UPDATE", "OLD.ShipmentID = " + std::to_string(later));
    makeCurrent(split);
    dialogs->type("1500");
    board.cmdShipPlusMinus->click();
    EXPECT_TRUE(messageStartsWith("The shipment was not recorded and nothing was changed: "))
        << lastMessage();
    EXPECT_EQ(stored(split)["Quantity"], Variant(1000));
    EXPECT_TRUE(stored(split)["ActShipDate"].isNull());
    EXPECT_EQ(stored(sooner)["Quantity"], Variant(300));
    EXPECT_TRUE(stored(sooner)["Comments"].isNull());
    EXPECT_EQ(stored(later)["Quantity"], Variant(800));
    allowWrites();
    // Nothing is left half-done on the board either: the same shipment now goes through.
    dialogs->clear();
    makeCurrent(split);
    dialogs->type("1500");
    board.cmdShipPlusMinus->click();
    EXPECT_EQ(stored(split)["Quantity"], Variant(1500)) << lastMessage();
    EXPECT_EQ(stored(sooner)["Quantity"], Variant(0));
    EXPECT_EQ(stored(later)["Quantity"], Variant(600));
}

TEST_F(BoardEditingOnFile, MoveCancelAndDeleteChangeTheWholeSelectionOrNone) {
    Shipment order;
    order.required = kYesterday;
    order.late = true;
    long first = add(order), second = add(order);
    frmShipments& board = openBoard(kAllTab);

    // Another workstation changed the second selected row: the first is not moved either.
    makeCurrent(second); // read here before the other workstation changes it
    select(first);
    select(second);
    changeElsewhere(second, "Comments = 'Held at the dock'");
    dialogs->type(shortDate(kNextWeek));
    board.DoMove();
    EXPECT_EQ(lastMessage(),
              "Another workstation changed one of the selected shipments after it was shown here, "
              "so none of them was moved.  The board now shows the shipments as they are stored; "
              "select them again if it is still needed.");
    for (long id : {first, second}) {
        EXPECT_EQ(stored(id)["ReqShipDate"].toDate(), kYesterday) << id;
        EXPECT_EQ(stored(id)["Late"], Variant(true)) << id;
    }
    EXPECT_TRUE(board.VxGrid1->selectedBookmarks().empty());

    // A write that fails on the second row of a cancel leaves the first uncanceled.
    dialogs->clear();
    refuseWrites("UPDATE", "OLD.ShipmentID = " + std::to_string(second));
    select(first);
    select(second);
    board.DoDelete();
    EXPECT_TRUE(messageStartsWith("None of the selected shipments was canceled: ")) << lastMessage();
    for (long id : {first, second})
        EXPECT_EQ(stored(id)["Canceled"], Variant(false)) << id;
    allowWrites();

    // The same for a delete on the Canceled tab: both were confirmed, neither is gone.
    db.Execute("UPDATE Shipments SET Canceled = Yes, OKToShip = No, ReqShipDate = #2026-12-08#");
    openBoard(kCanceledTab);
    dialogs->clear();
    refuseWrites("DELETE", "OLD.ShipmentID = " + std::to_string(second));
    select(first);
    select(second);
    dialogs->answer(Answer::Yes).answer(Answer::Yes);
    board.DoDelete();
    EXPECT_TRUE(messageStartsWith("None of the selected shipments was deleted: ")) << lastMessage();
    EXPECT_FALSE(stored(first).empty());
    EXPECT_FALSE(stored(second).empty());
    EXPECT_EQ(board.Data1->source()->rowCount(), 2);
}

TEST_P(BoardEditing, ATimeAloneIsNoDateToMoveTo) {
    Shipment order;
    long id = add(order);
    frmShipments& board = openBoard(kAllTab);
    select(id);
    dialogs->type("10:30");
    board.DoMove();
    EXPECT_EQ(lastMessage(),
              "\"10:30\" is not a date.  No shipment was moved.  Type " + runtime::dateFormHint() + ".");
    EXPECT_EQ(stored(id)["ReqShipDate"].toDate(), kToday);
    // A time typed after a day is not stored with it.
    select(id);
    dialogs->type(shortDate(kNextWeek) + " 10:30");
    board.DoMove();
    EXPECT_EQ(stored(id)["ReqShipDate"].toDate(), kNextWeek);
}

TEST_P(BoardEditing, WhatTheClerkTypedIsStoredBeforeMoveAndShipPlusMinus) {
    Shipment order;
    order.quantity = 1000;
    order.required = kYesterday;
    long id = add(order);
    frmShipments& board = openBoard(kAllTab);

    // A canceled Move, a non-date answer and a real move all keep the comment typed into the row.
    int n = 0;
    for (auto answer : {std::optional<std::string>(), std::optional<std::string>("soon"),
                        std::optional<std::string>(shortDate(kToday))}) {
        const std::string typed = "Typed before Move " + std::to_string(++n);
        makeCurrent(id);
        board.VxGrid1->setCellValue(board::col::Comments, Variant(typed));
        select(id);
        if (answer)
            dialogs->type(*answer);
        else
            dialogs->cancelInput();
        board.DoMove();
        EXPECT_EQ(stored(id)["Comments"], Variant(typed)) << n;
        EXPECT_FALSE(board.Data1->editInProgress());
    }
    EXPECT_EQ(stored(id)["ReqShipDate"].toDate(), kToday);

    // Ship +/- stores the row first, so both halves of the split carry what was typed.
    makeCurrent(id);
    board.VxGrid1->setCellValue(board::col::Comments, Variant("Typed before Ship"));
    dialogs->clear();
    dialogs->type("400").type(shortDate(kNextWeek));
    board.cmdShipPlusMinus->click();
    EXPECT_EQ(stored(id)["Comments"], Variant("Typed before Ship")) << lastMessage();
    EXPECT_EQ(stored(id)["Quantity"], Variant(400));
    EXPECT_EQ(stored(lastShipmentID())["Comments"], Variant("Typed before Ship"));
}

TEST_P(BoardEditing, EditingSearchResultsKeepsTheSearch) {
    Shipment acme;
    acme.quantity = 1000;
    long partial = add(acme);
    acme.quantity = 500;
    long over = add(acme);
    acme.quantity = 800;
    acme.required = kToday.addDays(2); // before the rest of the partial shipment below
    long openRow = add(acme);
    Shipment other;
    other.customer = "Granite Hill Foods";
    other.workOrder = "W300";
    other.job = "J-2";
    long elsewhere = add(other);
    frmShipments& board = openBoard(kAllTab);

    frmSearch& search = frmSearch::instance();
    auto found = search.lstCustList->findItems("Acme", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    found[0]->setSelected(true);
    search.cmdApplyButton_Click();
    ASSERT_EQ(board.Caption(), "Search Results");
    ASSERT_EQ(board.Data1->source()->rowCount(), 3);

    // A partial shipment of a search result: split in one transaction, the search shown again.
    makeCurrent(partial);
    dialogs->type("400").type(shortDate(kNextWeek));
    board.cmdShipPlusMinus->click();
    EXPECT_EQ(stored(partial)["Quantity"], Variant(400)) << lastMessage();
    EXPECT_EQ(stored(partial)["ActShipDate"].toDate(), kToday);
    EXPECT_EQ(stored(lastShipmentID())["Quantity"], Variant(600));
    EXPECT_EQ(board.Caption(), "Search Results");
    EXPECT_EQ(board.Data1->source()->rowCount(), 4); // the rest row is Acme's too
    EXPECT_EQ(boardRow(elsewhere), -1);

    // An over-shipment of a search result spreads over the same job's open rows.
    dialogs->clear();
    makeCurrent(over);
    dialogs->type("700");
    board.cmdShipPlusMinus->click();
    EXPECT_EQ(stored(over)["Quantity"], Variant(700)) << lastMessage();
    EXPECT_EQ(stored(openRow)["Quantity"], Variant(600));
    EXPECT_EQ(board.Caption(), "Search Results");
    EXPECT_EQ(boardRow(elsewhere), -1);
    EXPECT_GE(boardRow(openRow), 0);

    // Moving and canceling search results stay on them as well.
    dialogs->clear();
    select(openRow);
    dialogs->type(shortDate(kToday.addDays(10)));
    board.DoMove();
    EXPECT_EQ(stored(openRow)["ReqShipDate"].toDate(), kToday.addDays(10)) << lastMessage();
    select(openRow);
    board.DoDelete();
    EXPECT_EQ(stored(openRow)["Canceled"], Variant(true)) << lastMessage();
    EXPECT_EQ(board.Caption(), "Search Results");
    EXPECT_EQ(boardRow(elsewhere), -1);
    EXPECT_GE(boardRow(openRow), 0);

    // Refresh and a day chosen in the calendar show the search's rows again, not the day's.
    board.cmdRefresh->click();
    frmCalendarForm::instance().calCalendar->setValue(kNextWeek);
    frmCalendarForm::instance().calCalendar_Click();
    EXPECT_EQ(board.Caption(), "Search Results");
    EXPECT_EQ(boardRow(elsewhere), -1);
    // The button follows the row: a canceled search result is deleted, a shipped one not canceled.
    makeCurrent(partial);
    EXPECT_EQ(board.cmdDelete->text(), "&Cancel Ship");
    EXPECT_FALSE(board.cmdDelete->isEnabled());
    makeCurrent(openRow);
    EXPECT_EQ(board.cmdDelete->text(), "&Delete");
    EXPECT_TRUE(board.cmdDelete->isEnabled());
    dialogs->answer(Answer::Yes);
    board.DoDelete();
    EXPECT_TRUE(stored(openRow).empty()) << lastMessage();
    EXPECT_EQ(board.Caption(), "Search Results");
    frmSearch::unload();
    EXPECT_NE(board.Caption(), "Search Results");
}

// Cancel, then delete: a canceled shipment of any kind is on the Canceled tab of the day it was
// canceled, and only of that day, and the delete there names it before it goes.
TEST_P(BoardEditing, ACanceledShipmentIsDeletedFromTheCanceledTabOfTheDayItWasCanceled) {
    struct Case {
        const char* what;
        std::optional<Date> required;
        bool late;
    };
    auto showDay = [](Date day, int tab) -> frmShipments& {
        frmCalendarForm::instance().calCalendar->setValue(day);
        frmShipments& board = frmShipments::instance();
        board.tsTab->setSelectedIndex(tab);
        return board;
    };
    for (const Case& c : {Case{"ASAP", std::nullopt, false}, Case{"overdue", kToday.addDays(-5), true},
                          Case{"due today", kToday, false}}) {
        SCOPED_TRACE(c.what);
        dialogs->clear();
        Shipment order;
        order.workOrder = std::string("W-") + c.what;
        order.required = c.required;
        order.late = c.late;
        const long id = add(order);
        frmShipments& board = showDay(kToday, kTodayTab);
        makeCurrent(id); // the current row, nothing selected
        board.DoDelete();
        EXPECT_EQ(stored(id)["Canceled"], Variant(true)) << lastMessage();
        EXPECT_EQ(stored(id)["ActShipDate"], Variant(kToday)) << "the cancel date";

        showDay(kToday.addDays(1), kCanceledTab);
        EXPECT_EQ(boardRow(id), -1) << "another day's Canceled tab";
        showDay(kToday, kCanceledTab);
        makeCurrent(id);
        EXPECT_EQ(board.Data1->Caption(), "Order Status:  Canceled");
        EXPECT_TRUE(board.cmdDelete->isEnabled());
        EXPECT_EQ(board.cmdDelete->text(), "&Delete");
        dialogs->answer(Answer::Yes);
        board.DoDelete();
        EXPECT_TRUE(stored(id).empty());
        ASSERT_FALSE(dialogs->shown().empty());
        EXPECT_NE(dialogs->shown().back().prompt.find(order.workOrder), std::string::npos)
            << dialogs->shown().back().prompt;
    }
}

// Clicking cells selects cells, not rows: Move and Cancel act on the rows of the selected cells, or
// on the current row when no cell is selected.
TEST_P(BoardEditing, MoveAndCancelActOnTheRowsOfTheSelectedCells) {
    Shipment order;
    const long a = add(order), b = add(order), c = add(order);
    frmShipments& board = openBoard(kAllTab);
    auto* grid = board.VxGrid1;
    auto selectCell = [&](long id, int column) {
        grid->selectionModel()->select(grid->model()->index(boardRow(id), column),
                                       QItemSelectionModel::Select);
    };
    selectCell(a, board::col::CustomerPO);
    selectCell(c, board::col::Quantity);
    dialogs->type(shortDate(kNextWeek));
    board.DoMove();
    EXPECT_EQ(stored(a)["ReqShipDate"], Variant(kNextWeek)) << lastMessage();
    EXPECT_EQ(stored(b)["ReqShipDate"], Variant(kToday));
    EXPECT_EQ(stored(c)["ReqShipDate"], Variant(kNextWeek));

    grid->clearSelectedRows();
    makeCurrent(b);
    board.DoDelete();
    EXPECT_EQ(stored(b)["Canceled"], Variant(true)) << lastMessage();
    EXPECT_EQ(stored(a)["Canceled"], Variant(false));
    EXPECT_EQ(stored(c)["Canceled"], Variant(false));
}

// A read-only board's search caption carries " (Read Only)": the board still may not close while
// the search window owns it, and a due refresh still waits for the search window to close.
TEST_F(BoardEditingOnFile, AReadOnlySearchStillOwnsTheBoard) {
    add(Shipment{});
    logInAsReadOnlyViewer();
    frmShipments& board = openBoard(kAllTab);
    frmSearch::instance();
    ASSERT_EQ(board.Caption(), "Search Results (Read Only)");
    basGlobals::gRefreshInterval = 0;
    board.timRefreshTimer_Timer();
    EXPECT_TRUE(basGlobals::gRefreshPending);
    EXPECT_EQ(board.Caption(), "Search Results (Read Only)");
    board.subWindow()->close();
    EXPECT_EQ(lastMessage(), "Please close the Search Criteria form before closing this one.");
    EXPECT_TRUE(frmShipments::exists());
    frmSearch::unload();
    EXPECT_EQ(board.Caption().left(13), "All Shipments");
}

// Another workstation's changes reach the board without a click: a change is read again where the
// row stands, an addition, a deletion and a move to another day read the tab again with the clerk's
// current row, selection and place kept, and the row the clerk is editing keeps what was typed
// until Update meets the other change as before.
TEST_P(BoardEditing, AnotherWorkstationsChangesShowWithoutAClickAndNothingTypedIsLost) {
    Shipment order;
    long first = add(order), second = add(order), third = add(order), fourth = add(order);
    Shipment nextWeek;
    nextWeek.required = Date::fromYmd(2026, 12, 15);
    const std::string later = std::to_string(add(nextWeek));
    frmShipments& board = openBoard(kAllTab);
    LiveBoard& live = *board.liveBoard();
    ASSERT_TRUE(live.enabled()) << "live updates are on unless the options turn them off";
    live.check(); // starts watching
    // A connection of its own, as another workstation has.
    auto other = GetParam().server ? dao::openPostgres(path, dao::engine().DefaultUser(),
                                                       dao::engine().DefaultPassword(), {})
                                   : dao::openSqlite(path, {});
    // The board looks until the change is told (a server sends it a moment after the commit).
    int told = 0;
    QObject::connect(&live, &LiveBoard::changed, [&] { ++told; });
    auto elsewhere = [&](const std::string& sql) {
        const int before = told;
        other->execute(sql);
        for (int i = 0; i < 2000 && told == before; ++i) {
            live.check();
            if (told == before) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_GT(told, before) << sql;
    };
    auto quantityOf = [&](long id) {
        auto source = board.Data1->source();
        return source->value(boardRow(id), source->fieldIndex("Quantity")).toLong();
    };
    auto selected = [&](long id) {
        return board.VxGrid1->selectionModel()->isRowSelected(boardRow(id), {});
    };
    makeCurrent(third);
    select(first);
    select(fourth);
    const int requeries = live.requeries();

    elsewhere("UPDATE Shipments SET Quantity = 111 WHERE ShipmentID = " + std::to_string(first));
    EXPECT_EQ(quantityOf(first), 111);
    EXPECT_EQ(live.requeries(), requeries) << "a change in place reads no more than its row";
    EXPECT_TRUE(live.highlighted(boardRow(first)));
    EXPECT_FALSE(live.highlighted(boardRow(second)));

    // A truck line added elsewhere is offered in the board's drop-down and shown in the lines window.
    frmTruckLines& lines = frmTruckLines::showWindow();
    const int linesBefore = lines.datTruckLines->source()->rowCount();
    elsewhere("INSERT INTO \"Truck Lines\" (TruckLineAbbr, TruckLineName) VALUES ('NEWT', 'New Truck')");
    EXPECT_EQ(lines.datTruckLines->source()->rowCount(), linesBefore + 1);
    const auto& offered = board.VxGrid1->Columns(kCarrierColumn).valueItems;
    EXPECT_TRUE(std::any_of(offered.begin(), offered.end(),
                            [](const widgets::ValueItem& item) { return item.display == "New Truck"; }));
    // A line being edited in the window keeps the lines shown until the edit ends, then they follow.
    auto lineSource = lines.datTruckLines->source();
    lineSource->moveTo(0);
    lineSource->edit();
    lineSource->setValue(lineSource->fieldIndex("TruckLineName"), Variant(std::string("typing")));
    ASSERT_TRUE(lines.datTruckLines->editInProgress());
    elsewhere("INSERT INTO \"Truck Lines\" (TruckLineAbbr, TruckLineName) VALUES ('NEWU', 'Newer Truck')");
    EXPECT_EQ(lines.datTruckLines->source()->rowCount(), linesBefore + 1);
    lineSource->cancelUpdate();
    live.check();
    EXPECT_EQ(lines.datTruckLines->source()->rowCount(), linesBefore + 2);

    const std::string id = std::to_string(first);
    elsewhere("INSERT INTO Shipments (WorkOrder, Customer, JobNum, Quantity, ReqShipDate, Late, Canceled, "
              "OKToShip) SELECT 'W-NEW', Customer, JobNum, 5, ReqShipDate, Late, Canceled, OKToShip "
              "FROM Shipments WHERE ShipmentID = " + id);
    EXPECT_EQ(live.requeries(), requeries + 1);
    auto orders = boardWorkOrders();
    EXPECT_NE(std::find(orders.begin(), orders.end(), "W-NEW"), orders.end());
    elsewhere("DELETE FROM Shipments WHERE ShipmentID = " + std::to_string(second));
    EXPECT_EQ(boardRow(second), -1);
    elsewhere("UPDATE Shipments SET ReqShipDate = (SELECT ReqShipDate FROM Shipments WHERE ShipmentID = " +
              later + ") WHERE ShipmentID = " + id);
    EXPECT_EQ(boardRow(first), -1) << "moved to another day";
    EXPECT_EQ(board.VxGrid1->currentRowIndex(), boardRow(third));
    EXPECT_EQ(board.Data1->source()->currentRow(), boardRow(third));
    EXPECT_TRUE(selected(fourth));
    EXPECT_FALSE(selected(third));

    // The clerk types into a row another workstation then changes, and another row is added meanwhile.
    board.VxGrid1->setCellValue(kQuantityColumn, Variant(150));
    elsewhere("UPDATE Shipments SET Quantity = 175 WHERE ShipmentID = " + std::to_string(third));
    elsewhere("INSERT INTO Shipments (WorkOrder, Customer, JobNum, Quantity, ReqShipDate, Late, Canceled, "
              "OKToShip) SELECT 'W-LATER', Customer, JobNum, 5, ReqShipDate, Late, Canceled, OKToShip "
              "FROM Shipments WHERE ShipmentID = " + std::to_string(third));
    EXPECT_TRUE(board.Data1->editInProgress());
    EXPECT_EQ(board.VxGrid1->cellText(kQuantityColumn), "150");
    EXPECT_TRUE(live.highlighted(boardRow(third))) << "the row being edited is marked";
    orders = boardWorkOrders();
    EXPECT_EQ(std::find(orders.begin(), orders.end(), "W-LATER"), orders.end()) << "waits for the edit";
    board.DoUpdate();
    EXPECT_NE(lastMessage().find("Stored now: Quantity 175.  Your values are still in the row (Quantity 150)"),
              std::string::npos)
        << lastMessage();
    EXPECT_EQ(board.VxGrid1->cellText(kQuantityColumn), "150");
    board.DoUpdate();
    EXPECT_EQ(stored(third)["Quantity"], Variant(150));
    live.check();
    orders = boardWorkOrders();
    EXPECT_NE(std::find(orders.begin(), orders.end(), "W-LATER"), orders.end());
    EXPECT_EQ(board.VxGrid1->currentRowIndex(), boardRow(third));

    // Search results follow the same way: a found row read again in place, a row that now matches the
    // search shown, one that does not left out, and the board stays the search's.
    frmSearch& search = frmSearch::instance();
    auto acme = search.lstCustList->findItems("Acme", Qt::MatchExactly);
    ASSERT_EQ(acme.size(), 1);
    acme[0]->setSelected(true);
    search.cmdApplyButton_Click();
    ASSERT_EQ(board.Caption(), "Search Results");
    elsewhere("UPDATE Shipments SET Quantity = 222 WHERE ShipmentID = " + std::to_string(fourth));
    EXPECT_EQ(quantityOf(fourth), 222);
    for (const char* customer : {"Acme", "Someone Else"})
        elsewhere(std::string("INSERT INTO Shipments (WorkOrder, Customer, JobNum, Quantity, ReqShipDate, Late, "
                              "Canceled, OKToShip) SELECT 'W-") +
                  customer[0] + "', '" + customer + "', JobNum, 5, ReqShipDate, Late, Canceled, OKToShip " +
                  "FROM Shipments WHERE ShipmentID = " + std::to_string(third));
    orders = boardWorkOrders();
    EXPECT_NE(std::find(orders.begin(), orders.end(), "W-A"), orders.end());
    EXPECT_EQ(std::find(orders.begin(), orders.end(), "W-S"), orders.end());
    EXPECT_EQ(board.Caption(), "Search Results");
}
