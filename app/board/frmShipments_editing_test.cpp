// The board's editing operations on a real shipments database: Ship +/- (split, exact, spread of an
// over-shipment), cancel and delete, move, and what happens when another workstation changed a row.
#include "board_test_fixture.h"

#include "runtime/dialogs.h"

#include <QAction>
#include <QPushButton>

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

class BoardEditing : public BoardFixture {
protected:
    // Another workstation's own connection to the same database changes a shipment.
    void changeElsewhere(long id, const std::string& assignment) {
        dao::Workspace other = dao::engine().CreateWorkspace("Other", "Admin", "");
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
};

TEST_F(BoardEditing, APartialShipmentSplitsOffTheRestWithTheOrdersDetails) {
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
        EXPECT_EQ(dialogs->shown()[1].defaultText, "12/8/2026"); // the row's required date
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

TEST_F(BoardEditing, ShippingExactlyTheQuantityMarksTheRowShippedAndOkToShip) {
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

TEST_F(BoardEditing, AnOverShipmentUsesUpTheSameJobsOpenRowsInDateOrder) {
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
              Variant("Rush order  300 originally scheduled to be shipped.  We shipped 1200 on 12/8/2026."));
    EXPECT_TRUE(stored(sooner)["ActShipDate"].isNull());
    EXPECT_EQ(stored(later)["Quantity"], Variant(400));
    EXPECT_EQ(stored(later)["Comments"],
              Variant("Rush order  800 originally scheduled to be shipped.  We shipped 1200 on 12/8/2026."));
    EXPECT_EQ(stored(untouched)["Quantity"], Variant(300));
    EXPECT_EQ(stored(untouched)["Comments"], Variant("Rush order   "));
}

TEST_F(BoardEditing, AnAsapRowGoesFirstAndAnExactlyCoveredRowIsShipped) {
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
    EXPECT_EQ(stored(asap)["Comments"],
              Variant("  200 originally scheduled to be shipped.  We shipped 1200 on 12/8/2026."));
    auto covered = stored(exactlyCovered);
    EXPECT_EQ(covered["Quantity"], Variant(500));
    EXPECT_EQ(covered["OKToShip"], Variant(true));
    EXPECT_EQ(covered["ActShipDate"].toDate(), kToday);
    EXPECT_EQ(covered["Comments"], Variant("  1200 total parts shipped on 12/8/2026."));
    EXPECT_EQ(stored(beyond)["Quantity"], Variant(100));
    EXPECT_TRUE(stored(beyond)["Comments"].isNull());
}

TEST_F(BoardEditing, ShipPlusMinusRefusesAnswersItCannotUseAndChangesNothing) {
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
        {{"lots"}, "\"lots\" is not a number of parts.  Nothing was changed."},
        {{""}, ""},  // nothing shipped today
        {{"0"}, ""}, // the same
        {{"400", ""}, "No date was given for the rest of the parts.  Nothing was changed."},
        {{"400", "someday"}, "\"someday\" is not a date.  Nothing was changed."},
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
    // A thousands separator is part of the number, not its end.
    makeCurrent(id);
    dialogs->type("1,000");
    board.cmdShipPlusMinus->click();
    EXPECT_EQ(stored(id)["ActShipDate"].toDate(), kToday);
    EXPECT_EQ(shipmentCount(), 1);
}

TEST_F(BoardEditing, ARowChangedElsewhereDuringShipPlusMinusLeavesEverythingAsItWas) {
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

TEST_F(BoardEditing, AnUpdateOverAnotherWorkstationsChangeIsRefusedAndTheBoardReread) {
    Shipment order;
    long id = add(order);
    frmShipments& board = openBoard(kAllTab);
    makeCurrent(id);
    board.VxGrid1->setCellValue(boardtest::kQuantityColumn, Variant(150));
    changeElsewhere(id, "Quantity = 175");
    board.DoUpdate();
    EXPECT_NE(lastMessage().find("Another workstation changed this shipment"), std::string::npos);
    EXPECT_EQ(stored(id)["Quantity"], Variant(175));
    makeCurrent(id);
    EXPECT_EQ((*bound())["Quantity"], Variant(175));
    EXPECT_FALSE(board.Data1->editInProgress());
}

TEST_F(BoardEditing, CancelingOnTheTodayTabSkipsShippedRows) {
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
    EXPECT_TRUE(stored(toCancel)["ActShipDate"].isNull()); // no date is written
    EXPECT_EQ(stored(alreadyShipped)["Canceled"], Variant(false));
    EXPECT_EQ(lastMessage(), "1 selected shipment was already shipped and is left as it is: you cannot "
                             "cancel an order that has already been shipped.");
    // After the refresh the Today tab no longer lists the canceled shipment.
    EXPECT_EQ(boardRow(toCancel), -1);
    EXPECT_GE(boardRow(alreadyShipped), 0);
}

TEST_F(BoardEditing, DeletingOnTheCanceledTabAsksForEachSelectedRow) {
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
        EXPECT_EQ(shown.prompt,
                  "Are you sure you want to remove this canceled shipment from the database permanently?");
        EXPECT_EQ(shown.flags, runtime::mb::YesNo + runtime::mb::Question);
    }
    // Asked in selection order: third (yes), first (no), second (yes).
    EXPECT_TRUE(stored(third).empty());
    EXPECT_FALSE(stored(first).empty());
    EXPECT_TRUE(stored(second).empty());
    EXPECT_EQ(board.Data1->source()->rowCount(), 1);
}

TEST_F(BoardEditing, MovingLateShipmentsClearsLateOnlyForTodayOrLater) {
    Shipment late;
    late.required = kToday.addDays(-3);
    late.late = true;
    long a = add(late), b = add(late), c = add(late), d = add(late);
    frmShipments& board = openBoard(kAllTab);
    const std::string prompt = "Enter the date you want  moved to in the box below, then click OK.";

    dialogs->type("not a date");
    select(a);
    board.DoMove();
    EXPECT_EQ(dialogs->shown().back().prompt, prompt);
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

TEST_F(BoardEditing, AddingStartsANewRowThatUpdateStores) {
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
