// The search window against a small shipments database: what each list selection does to the other
// lists, the query Apply gives the board, and the board's search mode from opening to closing.
#include "frmSearch.h"

#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "basUtilityFunctions_ui.h"
#include "frmMain.h"
#include "frmShipments.h"
#include "shipments_schema.h"

#include "dao/jet_sql.h"
#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/tab_strip.h"
#include "widgets/timer.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace basGlobals;

namespace {

const char* const kBase =
    "SELECT Shipments.*, [Job Lookup Table].[Job Description], [Job Lookup Table].[Box Type], [Job Lookup "
    "Table].[Parts Per Box], [Job Lookup Table].BoxesPerTransfer, [Job Lookup Table].[Box Weight], [Box "
    "Weight]/([Packaging Table].[L]*[Packaging Table].[W]*[Packaging Table].[H]/1728) AS [PCF Code] FROM "
    "(Shipments LEFT JOIN [Job Lookup Table] ON Shipments.JobNum = [Job Lookup Table].[Job Number]) LEFT "
    "JOIN [Packaging Table] ON [Job Lookup Table].[Box Type] = [Packaging Table].PackageID";
const char* const kOrder = " ORDER BY Shipments.ReqShipDate;";

struct Row {
    const char *wo, *customer, *po, *job;
    int reqDay; // day of December 2026, 0 = no date (ASAP)
    int actDay; // 0 = not shipped
    bool late, canceled;
};
// Today is 12/8/2026.
const Row kRows[] = {
    {"W1", "Acme", "PA1", "J100", 10, 0, false, false},
    {"W2", "Acme", "PA2", "J101", 1, 0, true, false},
    {"W3", "Birch", "PB1", "J200", 1, 0, true, false},
    {"W4", "Birch", "PB1", "J200", 12, 0, false, false},
    {"W5", "Cobalt", "PC1", "J300", 2, 2, false, false},
    {"W6", "O\"Brien", "PO1", "J400", 2, 0, true, false},
    {"W7", "O'Brien", "PO2", "J401", 15, 0, false, false},
    {"W8", "Cobalt", "PC2", "J301", 0, 0, false, false},
    {"W9", "Acme", "PA3", "J100", 3, 0, false, true},
};

runtime::Variant december(int day) {
    return day ? runtime::Variant(runtime::Date::fromYmd(2026, 12, day)) : runtime::Variant::null();
}

std::string makeDatabase(const std::string& folder) {
    std::string path = folder + "/shipments.db";
    auto db = shipments::createShipmentsDatabase(path);
    auto insert = db.CreateQueryDef(
        "",
        "PARAMETERS WO Text, Cust Text, PO Text, Job Text, Req DateTime, Act DateTime, LateFlag YesNo, "
        "Can YesNo; INSERT INTO Shipments (WorkOrder, Customer, CustomerPO, JobNum, Quantity, ReqShipDate, "
        "ActShipDate, Late, Canceled, OKToShip) VALUES (WO, Cust, PO, Job, 10, Req, Act, LateFlag, Can, "
        "True)");
    for (const Row& r : kRows) {
        insert.Parameters("WO").setValue(runtime::Variant(r.wo));
        insert.Parameters("Cust").setValue(runtime::Variant(r.customer));
        insert.Parameters("PO").setValue(runtime::Variant(r.po));
        insert.Parameters("Job").setValue(runtime::Variant(r.job));
        insert.Parameters("Req").setValue(december(r.reqDay));
        insert.Parameters("Act").setValue(december(r.actDay));
        insert.Parameters("LateFlag").setValue(runtime::Variant(r.late));
        insert.Parameters("Can").setValue(runtime::Variant(r.canceled));
        insert.Execute();
    }
    db.Close();
    return path;
}

// A list's items, which must be in sorted order (a narrowed list is sorted like a full one).
QStringList itemsOf(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    QStringList sorted = items;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(items, sorted) << list->objectName().toStdString();
    return items;
}

void select(QListWidget* list, const QStringList& texts) {
    for (const QString& t : texts) {
        auto found = list->findItems(t, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << t.toStdString();
        found[0]->setSelected(true); // raises the list's selection handling, as a Ctrl+click does
    }
}

// Every case runs in a month-first and a day-first locale.
class SearchWindow : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/search_test.XXXXXX";
        folder_ = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder_ + "/data").c_str(), 1);
        runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 10, 0, 0));
        runtime::setDateLocale("en_US");
        widgets::installDaoOpener();
        std::string database = makeDatabase(folder_);
        frmMain::instance();
        gOptions->DatabaseName(database);
        frmShipments::instance();
    }
    static void TearDownTestSuite() {
        frmShipments::unload();
        std::filesystem::remove_all(folder_);
    }
    void SetUp() override {
        dialogs_ = std::make_shared<runtime::ScriptedDialogs>();
        runtime::setDialogs(dialogs_);
        runtime::setDateLocale(GetParam());
        gAutoRefresh = false;
        gRefreshPending = false;
        board().timRefreshTimer->setEnabled(false);
        board().tsTab->setSelectedIndex(2); // "All"
    }
    void TearDown() override { frmSearch::unload(); }

    static frmShipments& board() { return frmShipments::instance(); }
    static long boardRows() {
        dao::Recordset* rs = widgets::boundRecordset(*board().Data1);
        return rs ? rs->RecordCount() : -1;
    }
    static std::vector<std::string> boardCustomers() {
        std::vector<std::string> out;
        dao::Recordset* rs = widgets::boundRecordset(*board().Data1);
        dao::Recordset r = rs->Clone();
        if (r.RecordCount() > 0) r.MoveFirst();
        for (; !r.atEOF(); r.MoveNext())
            out.push_back(r["Customer"].toString());
        return out;
    }
    // Counts the refills of a list's data source: one per cascade that reaches it.
    static int* countRefills(widgets::DataControl* source) {
        auto* count = new int(0);
        QObject::connect(source, &widgets::DataControl::sourceChanged, source, [count] { ++*count; });
        return count;
    }

    static inline std::string folder_;
    std::shared_ptr<runtime::ScriptedDialogs> dialogs_;
};

TEST_P(SearchWindow, OpeningPutsTheBoardInSearchModeAndClosingGivesItBack) {
    board().tsTab->setSelectedIndex(4); // "Late"
    const QString lateCaption = board().Caption();
    gAutoRefresh = true;
    gRefreshInterval = 0;
    board().timRefreshTimer->setEnabled(true);

    frmSearch& search = frmSearch::instance();
    EXPECT_EQ(board().tsTab->SelectedIndex(), 1);
    EXPECT_FALSE(board().tsTab->isEnabled());
    EXPECT_FALSE(frmMain::instance().mnuOptionsAutoRefresh->menuAction()->isEnabled());
    EXPECT_FALSE(board().timRefreshTimer->Enabled());
    EXPECT_EQ(board().Caption(), "Search Results");
    EXPECT_EQ(itemsOf(search.lstCustList), QStringList({"Acme", "Birch", "Cobalt", "O\"Brien", "O'Brien"}));
    EXPECT_EQ(search.lstPartNumList->count(), 7);
    EXPECT_EQ(search.lstWorkOrderNum->count(), 9);
    EXPECT_EQ(search.lstCustPO->count(), 8);
    EXPECT_TRUE(search.lblSelectAll->isHidden());
    EXPECT_TRUE(search.statusClause().empty());

    // A refresh that falls due while searching waits; the board may not close meanwhile.
    board().timRefreshTimer_Timer();
    EXPECT_TRUE(gRefreshPending);
    EXPECT_EQ(board().Caption(), "Search Results");
    board().subWindow()->close();
    ASSERT_EQ(dialogs_->shown().size(), 1u);
    EXPECT_EQ(dialogs_->shown()[0].prompt, "Please close the Search Criteria form before closing this one.");
    EXPECT_TRUE(frmShipments::exists());

    search.cmdCloseButton_Click();
    EXPECT_FALSE(frmSearch::exists());
    EXPECT_EQ(board().tsTab->SelectedIndex(), 4);
    EXPECT_TRUE(board().tsTab->isEnabled());
    EXPECT_TRUE(frmMain::instance().mnuOptionsAutoRefresh->menuAction()->isEnabled());
    EXPECT_TRUE(board().timRefreshTimer->Enabled());
    EXPECT_EQ(board().Caption(), lateCaption);
    EXPECT_FALSE(gRefreshPending);

    // A new opening starts afresh: no clauses, all status boxes checked.
    frmSearch& again = frmSearch::instance();
    EXPECT_NE(&again, &search);
    for (QCheckBox* box : again.chkStatus)
        EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(again.customerClause().empty());
}

TEST_P(SearchWindow, SelectAllRunsOneCascadeAndLeavesTheDependentListsUnselected) {
    frmSearch& search = frmSearch::instance();
    // A part selection narrows the customer list to the customers of those parts.
    select(search.lstPartNumList, {"J200"});
    EXPECT_EQ(itemsOf(search.lstCustList), QStringList({"Birch"}));
    int* refills = countRefills(search.datPartNums);
    search.cmdSelectAll_Click(0); // one customer: its only item is also the last
    EXPECT_EQ(*refills, 1);
    EXPECT_EQ(search.customerClause(), "IN (\"Birch\")");
    EXPECT_EQ(itemsOf(search.lstPartNumList), QStringList({"J200"}));

    search.cmdClearSelections_Click(0); // the part list shows every part again
    EXPECT_EQ(search.lstPartNumList->count(), 7);
    select(search.lstPartNumList, {"J100", "J200", "J300"});
    EXPECT_EQ(itemsOf(search.lstCustList), QStringList({"Acme", "Birch", "Cobalt"}));
    *refills = 0;
    std::vector<int> progressSeen; // the bar's value at each selection of the run, while it shows
    auto watch = QObject::connect(search.lstCustList, &QListWidget::itemSelectionChanged, [&] {
        if (!search.lblSelectAll->isHidden() && !search.pbSelectAll->isHidden())
            progressSeen.push_back(search.pbSelectAll->value());
    });
    search.cmdSelectAll_Click(0);
    QObject::disconnect(watch);
    EXPECT_EQ(progressSeen, (std::vector<int>{0, 33, 67}));
    EXPECT_EQ(*refills, 1);
    EXPECT_TRUE(search.lblSelectAll->isHidden());
    EXPECT_TRUE(search.pbSelectAll->isHidden());
    EXPECT_EQ(search.customerClause(), "IN (\"Acme\",\"Birch\",\"Cobalt\")");
    EXPECT_EQ(itemsOf(search.lstPartNumList), QStringList({"J100", "J101", "J200", "J300", "J301"}));
    EXPECT_EQ(itemsOf(search.lstWorkOrderNum), QStringList({"W1", "W2", "W3", "W4", "W5", "W8", "W9"}));
    EXPECT_EQ(itemsOf(search.lstCustPO), QStringList({"PA1", "PA2", "PA3", "PB1", "PC1", "PC2"}));
    for (QListWidget* list : {search.lstPartNumList, search.lstWorkOrderNum, search.lstCustPO})
        EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_EQ(search.partClause(), "");

    // Everything already selected: the run changes nothing and cascades nothing.
    *refills = 0;
    search.cmdSelectAll_Click(0);
    EXPECT_EQ(*refills, 0);

    // Select All on the part list cascades once into the customer list.
    int* customerRefills = countRefills(search.datCustomerNames);
    search.cmdSelectAll_Click(3);
    EXPECT_EQ(*customerRefills, 1);
    EXPECT_EQ(itemsOf(search.lstCustList), QStringList({"Acme", "Birch", "Cobalt"}));
    EXPECT_TRUE(search.lstCustList->selectedItems().isEmpty());
    delete refills;
    delete customerRefills;
}

TEST_P(SearchWindow, AnEmptiedListShowsAllValuesInTheListsItNarrowed) {
    frmSearch& search = frmSearch::instance();
    select(search.lstCustList, {"Acme"});
    EXPECT_EQ(itemsOf(search.lstPartNumList), QStringList({"J100", "J101"}));
    search.lstCustList->findItems("Acme", Qt::MatchExactly)[0]->setSelected(false);
    EXPECT_EQ(search.customerClause(), "");
    EXPECT_EQ(search.lstPartNumList->count(), 7);
    EXPECT_EQ(search.lstWorkOrderNum->count(), 9);

    select(search.lstCustList, {"Acme", "Birch"});
    int* refills = countRefills(search.datPartNums);
    search.cmdClearSelections_Click(0);
    EXPECT_EQ(*refills, 1); // one cascade, however many items were selected
    EXPECT_EQ(search.lstPartNumList->count(), 7);
    EXPECT_EQ(search.lstCustPO->count(), 8);
    // Clearing a list with nothing selected leaves the others as they are.
    select(search.lstWorkOrderNum, {"W5"});
    search.cmdClearSelections_Click(0);
    EXPECT_EQ(search.workOrderClause(), "IN (\"W5\")");
    delete refills;
}

TEST_P(SearchWindow, ApplyJoinsTheCriteriaInTheirFixedOrder) {
    frmSearch& search = frmSearch::instance();
    search.cmdApplyButton_Click();
    EXPECT_EQ(board().Data1->RecordSourceText(), std::string(kBase) + kOrder);
    EXPECT_EQ(boardRows(), 9);

    // Only "Late" checked, no list touched.
    for (int i : {0, 2, 3, 4}) {
        search.chkStatus[i]->setChecked(false);
        search.chkStatus_Click(i);
    }
    const std::string lateOnly = "((Shipments.Late = True)) AND ((Shipments.ReqShipDate < #2026-12-08#) OR "
                                 "(Shipments.ActShipDate Is Null) OR (Shipments.Canceled=False) OR "
                                 "(Shipments.ReqShipDate Is Not Null))";
    EXPECT_EQ(search.statusClause(), lateOnly);
    search.cmdApplyButton_Click();
    EXPECT_EQ(board().Data1->RecordSourceText(), std::string(kBase) + " WHERE " + lateOnly + kOrder);
    EXPECT_EQ(boardRows(), 3);

    // Two customers and two work orders, statuses all checked again.
    for (int i : {0, 2, 3, 4}) {
        search.chkStatus[i]->setChecked(true);
        search.chkStatus_Click(i);
    }
    select(search.lstCustList, {"Acme", "Birch"});
    select(search.lstWorkOrderNum, {"W1", "W3"});
    search.cmdApplyButton_Click();
    const std::string expected =
        std::string(kBase) +
        " WHERE Shipments.Customer IN (\"Acme\",\"Birch\") AND Shipments.WorkOrder IN "
        "(\"W1\",\"W3\") AND (" +
        search.statusClause() + ")" + kOrder;
    EXPECT_EQ(board().Data1->RecordSourceText(), expected);
    EXPECT_EQ(boardRows(), 2);
    search.cmdApplyButton_Click();
    EXPECT_EQ(board().Data1->RecordSourceText(), expected);
    EXPECT_EQ(board().Caption(), "Search Results");

    // Customers chosen after work orders: the work-order list is refilled without selection.
    select(search.lstCustList, {"Cobalt"});
    EXPECT_EQ(search.workOrderClause(), "");
    EXPECT_TRUE(search.lstWorkOrderNum->selectedItems().isEmpty());
    EXPECT_EQ(itemsOf(search.lstWorkOrderNum), QStringList({"W1", "W2", "W3", "W4", "W5", "W8", "W9"}));
}

TEST_P(SearchWindow, NoStatusCheckedShowsNoRowsAndSaysSo) {
    frmSearch& search = frmSearch::instance();
    for (int i = 0; i < 5; ++i) {
        search.chkStatus[i]->setChecked(false);
        search.chkStatus_Click(i);
    }
    search.cmdApplyButton_Click();
    EXPECT_EQ(boardRows(), 0);
    ASSERT_EQ(dialogs_->shown().size(), 1u);
    EXPECT_EQ(dialogs_->shown()[0].prompt,
              "No shipment status is checked, so no shipments match the search.");
    search.chkStatus[1]->setChecked(true);
    search.chkStatus_Click(1);
    search.cmdApplyButton_Click();
    EXPECT_EQ(boardRows(), 3);
    EXPECT_EQ(dialogs_->shown().size(), 1u);
}

TEST_P(SearchWindow, QuotesInValuesAndOtherDateFormatsAreSafe) {
    frmSearch& search = frmSearch::instance();
    for (const char* name : {"O\"Brien", "O'Brien"}) {
        search.cmdClearSelections_Click(0);
        select(search.lstCustList, {name});
        EXPECT_EQ(search.lstPartNumList->count(), 1) << name;
        search.cmdApplyButton_Click();
        EXPECT_EQ(boardCustomers(), std::vector<std::string>{name});
    }
    search.cmdClearSelections_Click(0);

    // Scheduled only.
    for (int i : {1, 2, 3, 4}) {
        search.chkStatus[i]->setChecked(false);
        search.chkStatus_Click(i);
    }
    EXPECT_NE(search.statusClause().find("(Shipments.ReqShipDate >= #2026-12-08#)"), std::string::npos);
    search.cmdApplyButton_Click();
    // Not late, not shipped, not canceled, dated, due today or later: W1, W4, W7.
    EXPECT_EQ(boardRows(), 3);
}

INSTANTIATE_TEST_SUITE_P(Locales, SearchWindow, ::testing::Values("en_US", "de_DE"));

} // namespace
