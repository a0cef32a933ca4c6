// Every way the clerk changes the shipments file, and the two printing runs that fill scratch tables
// of the reports file, run once with each of their file operations failing in turn (an I/O error, a
// full disk, a lock another program holds): the change is in the file whole or not at all (a print
// printed whole or not at all), a failure that kept it out is shown to the clerk by name without
// reaching the event loop, and the same change made again afterwards is stored and read so by
// another connection.
#include "ReportComponent.h"
#include "board_layout.h"
#include "board_test_fixture.h"
#include "frmPrtSelect.h"
#include "frmPrtValcrest.h"
#include "reports_database.h"

#include "dao/faulty_files_for_tests.h"
#include "paths/windows_path.h"
#include "report/report_test_support.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <sqlite3.h>

#include <iostream>

using namespace boardtest;
using dao::testing::Fault;

class WritePathFaults;

namespace {

constexpr int kAllTab = 2, kCanceledTab = 6;

struct WritePath {
    const char* name;
    std::function<void(WritePathFaults&)> arrange; // what is there before the change
    std::function<void(WritePathFaults&)> change;  // the clerk's change, answers scripted
    bool prints = false; // the change prints (into the test's PDF) rather than changes the file
};

long totalFailures = 0, totalRuns = 0;

} // namespace

class WritePathFaults : public BoardFixture, public ::testing::WithParamInterface<WritePath> {
public:
    static void SetUpTestSuite() { dao::testing::installFaultyFiles(); }
    static void TearDownTestSuite() {
        std::cout << "fault injection: " << totalFailures << " failures injected in " << totalRuns
                  << " runs of the write paths\n";
    }

    void TearDown() override {
        dao::testing::stopFaults();
        frmPrtValcrest::unload();
        frmPrtSelect::unload();
        BoardFixture::TearDown();
    }

    // What the paths' changes use of the fixture.
    using BoardFixture::add;
    using BoardFixture::dialogs;
    using BoardFixture::execute;
    using BoardFixture::makeCurrent;
    using BoardFixture::select;
    frmShipments& board(int tab) { return openBoard(tab); }
    long first = 0, second = 0;

    // Where a printing path prints, and what it printed: the rows of a report printed from half a
    // scratch table differ from the whole one's.
    QString pdf() const { return dir.filePath("printed.pdf"); }
    std::string printed() {
        if (!QFile::exists(pdf())) return "nothing printed\n";
        QString text = reporttest::pdfText(pdf());
        // The page's clock time is not the report's content.
        text.remove(QRegularExpression("\\d{1,2}:\\d{2}(:\\d{2})?\\s*[AP]M"));
        return text.toStdString();
    }

    // The tables the write paths change, as another connection reads them, and what was printed.
    std::string state() { return contents() + (GetParam().prints ? printed() : std::string()); }

    std::string contents() {
        sqlite3* handle = nullptr;
        // Opened as the layer opens files, so that it can put right what a failed commit left.
        EXPECT_EQ(sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        std::string out;
        for (const char* sql : {"SELECT * FROM Shipments ORDER BY ShipmentID",
                                "SELECT * FROM [Truck Lines] ORDER BY TruckLineAbbr",
                                "SELECT * FROM POTable ORDER BY PONumber"}) {
            sqlite3_stmt* stmt = nullptr;
            EXPECT_EQ(sqlite3_prepare_v2(handle, sql, -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                    auto* text = sqlite3_column_text(stmt, i);
                    out += text ? reinterpret_cast<const char*>(text) : "<null>";
                    out += '|';
                }
                out += '\n';
            }
            sqlite3_finalize(stmt);
        }
        sqlite3_close(handle);
        return out;
    }

    // The fixture's fresh database again, with the path's rows and windows.
    void fresh() {
        TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const std::string reports = paths::resolve(kReportsDatabase);
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            QFile::remove(QString::fromStdString(path + suffix));
            QFile::remove(QString::fromStdString(reports + suffix));
        }
        QFile::remove(pdf());
        SetUp();
        escaped.clear();
        GetParam().arrange(*this);
    }

    // The change as the program runs it: an error it does not handle reaches the event loop, which
    // rolls back and reports it (and would end the program).
    void runChange() {
        try {
            GetParam().change(*this);
        } catch (const runtime::Error& e) {
            dao::engine().rollbackAll();
            escaped.push_back(e.description());
        }
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> out = escaped;
        for (const auto& shown : dialogs->shown())
            if (shown.kind == runtime::ScriptedDialogs::Shown::Message) out.push_back(shown.prompt);
        return out;
    }

    std::vector<std::string> escaped;
};

namespace {

// The messages in one line, for a failure's report.
std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (auto& t : texts)
        out += "[" + t + "] ";
    return out;
}

} // namespace

TEST_P(WritePathFaults, AllOrNothingTheFailureShownAndTheNextChangeStored) {
    for (Fault fault : {Fault::IoError, Fault::DiskFull, Fault::Busy}) {
        SCOPED_TRACE(dao::testing::faultName(fault));
        fresh();
        const std::string before = state();
        dao::testing::countOperations(fault);
        runChange();
        const long steps = dao::testing::operationsCounted();
        dao::testing::stopFaults();
        const std::string after = state();
        ASSERT_NE(before, after) << "the change changes nothing: " << joined(messages());
        ASSERT_TRUE(escaped.empty()) << joined(escaped);

        for (long step = 1; step <= steps; ++step) {
            SCOPED_TRACE("failing operation " + std::to_string(step) + " of " + std::to_string(steps));
            fresh();
            long made = dao::testing::failuresMade();
            dao::testing::failOperation(fault, step);
            runChange();
            dao::testing::stopFaults();
            totalFailures += dao::testing::failuresMade() - made;
            ++totalRuns;
            const std::string now = state();
            ASSERT_TRUE(now == before || now == after) << "half a change is in the file";
            if (now == after) continue; // the engine got over the failure
            EXPECT_TRUE(escaped.empty()) << "the failure reached the event loop: " << joined(escaped);
            const auto shown = messages();
            EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                                    [&](auto& m) { return m.find(dao::testing::wordsForFault(fault)) != std::string::npos; }))
                << "nothing was stored, and the clerk was told: " << joined(shown);
            // The same change made again is stored.
            dialogs->clear();
            escaped.clear();
            runChange();
            EXPECT_EQ(state(), after) << "the change made again: " << joined(messages());
        }
    }
}

namespace {

const Date kNextWeek = kToday.addDays(7);

void shipmentsOnTheBoard(WritePathFaults& t, bool canceled = false) {
    Shipment order;
    // The Canceled tab shows the day's canceled rows; the others are shown on the All tab.
    order.quantity = 1000;
    order.required = canceled ? kToday : kToday.addDays(-1);
    order.late = true;
    order.canceled = canceled;
    t.first = t.add(order);
    order.quantity = 300;
    order.required = canceled ? kToday : kToday.addDays(1);
    t.second = t.add(order);
    t.board(canceled ? kCanceledTab : kAllTab);
}

void selectBoth(WritePathFaults& t) {
    frmShipments::instance().VxGrid1->clearSelectedRows();
    t.select(t.first);
    t.select(t.second);
}

const WritePath kPaths[] = {
    {"PartialShipment", [](auto& t) { shipmentsOnTheBoard(t); },
     [](auto& t) {
         t.makeCurrent(t.first);
         t.dialogs->type("400").type(runtime::shortDateText(kNextWeek));
         frmShipments::instance().cmdShipPlusMinus_Click();
     }},
    {"OverShipment", [](auto& t) { shipmentsOnTheBoard(t); },
     [](auto& t) {
         t.makeCurrent(t.first);
         t.dialogs->type("1100");
         frmShipments::instance().cmdShipPlusMinus_Click();
     }},
    {"Move", [](auto& t) { shipmentsOnTheBoard(t); },
     [](auto& t) {
         selectBoth(t);
         t.dialogs->type(runtime::shortDateText(kNextWeek));
         frmShipments::instance().DoMove();
     }},
    {"Cancel", [](auto& t) { shipmentsOnTheBoard(t); },
     [](auto& t) {
         selectBoth(t);
         frmShipments::instance().DoDelete();
     }},
    {"Delete", [](auto& t) { shipmentsOnTheBoard(t, true); },
     [](auto& t) {
         selectBoth(t);
         t.dialogs->answer(runtime::Answer::Yes).answer(runtime::Answer::Yes);
         frmShipments::instance().DoDelete();
     }},
    {"TypedCell", [](auto& t) { shipmentsOnTheBoard(t); },
     [](auto& t) {
         t.makeCurrent(t.first);
         frmShipments& board = frmShipments::instance();
         board.VxGrid1->setCellValue(board::col::Comments, Variant("Typed at the dock"));
         board.DoUpdate();
     }},
    {"TruckLine",
     [](auto& t) {
         t.execute("INSERT INTO [Truck Lines] (TruckLineAbbr, TruckLineName) VALUES ('ABF', 'ABF Freight')");
         frmTruckLines::showWindow();
     },
     [](auto&) {
         frmTruckLines& w = frmTruckLines::showWindow();
         auto source = w.datTruckLines->source();
         if (source->editMode() == widgets::EditMode::None) source->addNew();
         source->setValue(source->fieldIndex("TruckLineAbbr"), Variant("UPS"));
         source->setValue(source->fieldIndex("TruckLineName"), Variant("United Parcel"));
         w.cmdUpdate_Click();
     }},
    {"ValcrestNewOrders",
     [](auto& t) {
         t.execute("INSERT INTO Shipments (WorkOrder, Customer, CustomerPO, JobNum, Quantity, ReqShipDate) "
                   "VALUES ('W1', 'Valcrest', 'PO-1', 'J1', 10, #2026-12-10#), "
                   "('W2', 'Valcrest', 'PO-2', 'J1', 10, #2026-12-11#)");
         frmMain::instance();
     },
     [](auto&) {
         // The clerk closes the window if it is open and opens it again from the menu.
         if (frmPrtValcrest* w = frmPrtValcrest::openWindow(); w && w->isVisible()) w->close();
         QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
         frmMain::instance().mnuFilePrintValcrest->trigger();
     }},
    {"ValcrestPODate",
     [](auto& t) {
         t.execute("INSERT INTO POTable (PONumber, PODate) VALUES ('PO-1', #2026-11-30#)");
         frmMain::instance();
         frmPrtValcrest::showWindow();
     },
     [](auto&) {
         frmPrtValcrest& w = frmPrtValcrest::showWindow();
         auto* grid = w.VxGrid1;
         grid->setCurrentIndex(grid->model()->index(0, 1));
         grid->model()->setData(grid->model()->index(0, 1), "12/5/2026", Qt::EditRole);
         w.cmdPrint_Click(); // stores the typed date first; its dates are not filled in, so no print
     }},
    {"ShippingReport",
     [](auto& t) {
         t.execute("INSERT INTO [Job Lookup Table] ([Job Number], [Job Description]) VALUES ('J-1', 'Round Lid')");
         shipmentsOnTheBoard(t);
         ReportComponent& report = *frmShipments::instance().Report1;
         report.setDestination(ReportComponent::crptToFile);
         report.setPrintFileName(t.pdf().toStdString());
     },
     [](auto& t) {
         QFile::remove(t.pdf());
         frmShipments::instance().cmdPrint_Click();
     },
     true},
    {"Labels",
     [](auto& t) {
         frmMain::instance();
         // A labelled job, shipped today: two box labels for it, printed as the wizard prints them.
         t.execute("INSERT INTO [Job Lookup Table] ([Job Number], [Customer Part Num], [Parts Per Box], "
                   "CustomerID, LabelFilename, BoxLabelQuery, BarcodedBoxLabel) VALUES ('4443-3', "
                   "'AC-100', 250, 7, 'box label.rpt', 'Box Label Query', 2)");
         t.add("W100", "Acme", "4443-3", 500, "2026-12-08", "2026-12-08");
         frmPrtSelect::showWindow();
     },
     [](auto& t) {
         frmPrtSelect& w = frmPrtSelect::showWindow();
         if (w.currentPage() == 1) {
             w.lstCustList->setCurrentRow(0);
             w.optBoxLabels->setChecked(true);
             w.cmdNext->click();
             w.cmdNext->click();
         }
         w.txtNumCopies->setText("2");
         w.rptLabel->setDestination(ReportComponent::crptToFile);
         w.rptLabel->setPrintFileName(t.pdf().toStdString());
         QFile::remove(t.pdf());
         // The lot number the label query asks for; more labels: the wizard stays open at its first page.
         t.dialogs->type("L-42").answer(runtime::Answer::Yes);
         w.cmdPrint->click();
     },
     true},
};

} // namespace

INSTANTIATE_TEST_SUITE_P(EveryWritePath, WritePathFaults, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });
