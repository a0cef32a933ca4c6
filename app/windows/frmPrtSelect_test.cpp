// The label wizard and its printing run, printing through a spooler of the test's own where cupsd
// can run here (queues "Office", the default, and "barcode"), and to PDF files otherwise.
#include "frmPrtSelect.h"

#include "ReportComponent.h"
#include "basDAOUtilityFunctions.h"
#include "board_test_fixture.h"
#include "program_printer.h"
#include "reports_database.h"

#include "paths/report_templates.h"
#include "report/report_test_support.h"
#include "report/spooler_for_tests.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/up_down.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

using namespace boardtest;

namespace {

// One spooler for the whole program: the print service is asked for printers only after it runs.
QTemporaryDir* spoolerFolder = nullptr;
reporttest::Spooler* spooler = nullptr;
QString whyNoSpooler;

class SpoolerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        spoolerFolder = new QTemporaryDir;
        spooler = new reporttest::Spooler(spoolerFolder->path());
        whyNoSpooler = spooler->start({"Office", "barcode"});
        if (!whyNoSpooler.isEmpty())
            std::cerr << "no print spooler here (" << whyNoSpooler.toStdString()
                      << "): the printer tests are skipped, the labels are checked as PDF files\n";
    }
    void TearDown() override {
        delete spooler;
        delete spoolerFolder;
    }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new SpoolerEnvironment);

class LabelWizard : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        programPrinter::reset();
        frmMain::instance();
        // Acme (customer 7) has a labelled job due today and shipped today; Nolab's job has no labels.
        execute("INSERT INTO [Job Lookup Table] ([Job Number], [Job Description], [Customer Part Num], "
                "[Customer Part Desc], [Parts Per Box], CustomerID, LabelFilename, BoxLabelQuery, "
                "BarcodedBoxLabel, "
                "ShipLabelFilename, ShipLabelQuery, BarcodedShipLabel, BoxesPerTransfer) VALUES ('4443-3', "
                "'Lid', "
                "'AC-100', 'Round lid 90 mm', 250, 7, 'box label.rpt', 'Box Label Query', 1, 'shipping "
                "label.rpt', "
                "'Shipping Label Query', 2, 20)");
        execute("INSERT INTO [Job Lookup Table] ([Job Number], CustomerID) VALUES ('5000-1', 8)");
        add("W100", "Acme", "4443-3", 500, "2026-12-08", "2026-12-08");
        add("W200", "Nolab", "5000-1", 10, "2026-12-08");
    }
    void TearDown() override {
        frmPrtSelect::unload();
        frmPrtSelect::setPrinterDialog(nullptr);
        BoardFixture::TearDown();
    }

    // The wizard opened, Acme chosen, on page 3 with `copies`, printing to a PDF of the test's.
    frmPrtSelect& readyToPrint(QRadioButton* frmPrtSelect::*kind, const QString& copies = "1") {
        frmPrtSelect& w = frmPrtSelect::showWindow();
        w.lstCustList->setCurrentRow(0);
        if (kind) (w.*kind)->setChecked(true);
        w.cmdNext->click();
        w.cmdNext->click();
        w.txtNumCopies->setText(copies);
        w.rptLabel->setDestination(ReportComponent::crptToFile);
        w.rptLabel->setPrintFileName(pdf().toStdString());
        return w;
    }
    QString pdf() const { return dir.filePath("labels.pdf"); }

    bool labelTableExists() {
        dao::Database reports = OpenOrCreateDatabase(kReportsDatabase);
        bool found = false;
        for (const dao::TableDef& t : reports.TableDefs())
            found = found || t.Name() == "BarCode";
        reports.Close();
        return found;
    }
};

TEST_F(LabelWizard, LoadsTheDaysCustomersAndStepsThroughItsPages) {
    frmPrtSelect& w = frmPrtSelect::showWindow();
    EXPECT_EQ(w.windowTitle(), "Print Labels Wizard");
    ASSERT_EQ(w.lstCustList->count(), 1); // Nolab's job has no label files
    EXPECT_EQ(w.lstCustList->item(0)->text(), "Acme");
    EXPECT_EQ(w.lstCustList->item(0)->data(Qt::UserRole).toInt(), 7);
    EXPECT_EQ(w.datLabels->source()->rowCount(), 2); // every job until a customer is chosen
    EXPECT_FALSE(w.datCurShip->source() && w.datCurShip->source()->rowCount() > 0);
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_TRUE(w.fraStep1->isVisible());
    EXPECT_FALSE(w.cmdBack->isEnabled());
    EXPECT_TRUE(w.cmdNext->isEnabled());
    EXPECT_FALSE(w.cmdPrint->isEnabled());
    EXPECT_FALSE(w.optBoxLabels->isChecked() || w.optPalletLabels->isChecked() ||
                 w.optShipmentLabels->isChecked());

    w.lstCustList->setCurrentRow(0);
    EXPECT_EQ(w.datLabels->source()->rowCount(), 1);
    ASSERT_EQ(w.datCurShip->source()->rowCount(), 1); // shipped today
    EXPECT_EQ(w.vxgShipments->Columns(4).caption, "Job Number");

    w.cmdNext->click();
    EXPECT_TRUE(w.fraStep2->isVisible());
    EXPECT_FALSE(w.fraStep1->isVisible());
    EXPECT_TRUE(w.cmdBack->isEnabled());
    w.cmdBack->click();
    w.chkPrintForShipment
        ->click(); // not for a shipment: shipment labels make no sense, the parts grid is step 2
    EXPECT_FALSE(w.optShipmentLabels->isEnabled());
    w.cmdNext->click();
    EXPECT_TRUE(w.fraStep2A->isVisible());
    EXPECT_FALSE(w.fraStep2->isVisible());
    w.cmdNext->click();
    EXPECT_EQ(w.currentPage(), 3);
    EXPECT_TRUE(w.fraStep3->isVisible());
    EXPECT_FALSE(w.cmdNext->isEnabled());
    EXPECT_TRUE(w.cmdPrint->isEnabled());

    // Closed with Cancel and opened again from the File menu: a new wizard on page 1.
    w.cmdCancel->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmPrtSelect::openWindow(), nullptr);
    ASSERT_TRUE(frmMain::instance().mnuFilePrintBarcode->isVisible());
    frmMain::instance().mnuFilePrintBarcode->trigger();
    ASSERT_NE(frmPrtSelect::openWindow(), nullptr);
    EXPECT_EQ(frmPrtSelect::openWindow()->currentPage(), 1);
    EXPECT_TRUE(frmPrtSelect::openWindow()->chkPrintForShipment->isChecked());
}

TEST_F(LabelWizard, CustomerNamesWithQuotesStillFindTheirShipments) {
    execute("UPDATE Shipments SET Customer = 'O''Neil \"Tools\"' WHERE WorkOrder = 'W100'");
    frmPrtSelect& w = frmPrtSelect::showWindow();
    ASSERT_EQ(w.lstCustList->count(), 1);
    w.lstCustList->setCurrentRow(0);
    EXPECT_EQ(w.datCurShip->source()->rowCount(), 1);
}

TEST_F(LabelWizard, CopiesStayAWholeNumberOfAtLeastOne) {
    frmPrtSelect& w = frmPrtSelect::showWindow();
    for (const char* typed : {"0", "-3", "abc"}) {
        w.txtNumCopies->setText(typed);
        EXPECT_EQ(w.txtNumCopies->text(), "1") << typed;
    }
    // Typed key by key, over the whole text or after it: letters never get in beside the 1.
    auto type = [&](const QString& keys, bool overAll) {
        w.txtNumCopies->setText("1");
        if (overAll)
            w.txtNumCopies->selectAll();
        else
            w.txtNumCopies->end(false);
        for (QChar c : keys) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(w.txtNumCopies, &press);
        }
        return w.txtNumCopies->text();
    };
    for (auto [keys, overAll, expected] : {std::tuple{"abc", true, "1"},
                                           {"abc", false, "1"},
                                           {"0", true, "1"},
                                           {"25", true, "25"},
                                           {"2", false, "12"}})
        EXPECT_EQ(type(keys, overAll), expected) << keys << (overAll ? " over the text" : " after it");
    w.txtNumCopies->setText("1");
    w.udNumCopies->downButton()->click();
    EXPECT_EQ(w.txtNumCopies->text(), "1");
    w.txtNumCopies->setText("5");
    w.udNumCopies->upButton()->click();
    EXPECT_EQ(w.txtNumCopies->text(), "6");
    w.udNumCopies->downButton()->click();
    EXPECT_EQ(w.txtNumCopies->text(), "5");
}

TEST_F(LabelWizard, ThreeRowsTimesTwoCopiesPrintSixLabelsInOrder) {
    // A box label query of three rows: one per shipment of the job.
    execute("UPDATE [Job Lookup Table] SET BoxLabelQuery = 'Three Boxes' WHERE [Job Number] = '4443-3'");
    add("W101", "Acme", "4443-3", 600, "2026-12-09");
    add("W102", "Acme", "4443-3", 700, "2026-12-10");
    {
        dao::Database db = dao::engine().OpenDatabase(path);
        db.CreateQueryDef(
            "Three Boxes",
            "PARAMETERS [JOB NUMBER TO PRINT] Text; SELECT JobNum AS [Job Number], WorkOrder AS "
            "[Customer Part Num], Customer AS [Customer Part Desc], Quantity AS [Parts Per Box], "
            "'' AS CustomersCustomerPartNo, '' AS LotNumber FROM Shipments WHERE JobNum = "
            "[JOB NUMBER TO PRINT] ORDER BY WorkOrder");
        db.Close();
    }
    frmPrtSelect& w = readyToPrint(&frmPrtSelect::optBoxLabels, "2");
    dialogs->answer(runtime::Answer::Yes);
    w.cmdPrint->click();
    ASSERT_EQ(dialogs->shown().size(), 1u) << dialogs->shown().front().prompt;
    EXPECT_EQ(dialogs->shown().back().prompt, "Would you like to print more labels?");
    const QString text = reporttest::pdfText(pdf());
    EXPECT_EQ(reporttest::pdfPages(pdf()), 6);
    // Each row's copies follow each other: W100 W100 W101 W101 W102 W102.
    QStringList order;
    for (const QString& page : text.split('\f', Qt::SkipEmptyParts))
        for (const char* wo : {"W100", "W101", "W102"})
            if (page.contains(wo)) order << wo;
    EXPECT_EQ(order, (QStringList{"W100", "W100", "W101", "W101", "W102", "W102"}));
    EXPECT_FALSE(labelTableExists());
    // Yes: back on page 1 with the same customers.
    EXPECT_EQ(w.currentPage(), 1);
    EXPECT_EQ(w.lstCustList->count(), 1);
}

TEST_F(LabelWizard, BoxLabelAsksItsOwnParametersAndCarriesAScannableBarcode) {
    frmPrtSelect& w = readyToPrint(&frmPrtSelect::optBoxLabels);
    dialogs->type("L-42").answer(runtime::Answer::No);
    w.cmdPrint->click();
    ASSERT_GE(dialogs->shown().size(), 2u);
    EXPECT_EQ(dialogs->shown()[0].prompt, "LOT NUMBER"); // asked by its own name
    const QString text = reporttest::pdfText(pdf());
    EXPECT_TRUE(text.contains("L-42")) << text.toStdString();
    EXPECT_TRUE(text.contains("AC-100"));
    EXPECT_TRUE(text.contains("4443-3")); // the barcode's human-readable line
    // No: the wizard closes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmPrtSelect::openWindow(), nullptr);

    // The printed barcode decodes to the job number.
    QProcess render;
    render.start("pdftoppm", {"-r", "300", "-png", "-singlefile", pdf(), dir.filePath("label")});
    ASSERT_TRUE(render.waitForFinished(60000) && render.exitCode() == 0)
        << "pdftoppm is missing: run scripts/bootstrap";
    QProcess scan;
    scan.start("zbarimg", {"--quiet", "--raw", dir.filePath("label.png")});
    ASSERT_TRUE(scan.waitForFinished(60000)) << "zbarimg is missing: run scripts/bootstrap";
    EXPECT_EQ(QString::fromUtf8(scan.readAllStandardOutput()).trimmed(), "4443-3");
}

TEST_F(LabelWizard, WithoutAKindItPrintsShipmentLabelsForTheChosenShipment) {
    frmPrtSelect& w = readyToPrint(nullptr);
    dialogs->answer(runtime::Answer::No);
    w.cmdPrint->click();
    const QString text = reporttest::pdfText(pdf());
    EXPECT_TRUE(text.contains("W100")) << text.toStdString(); // the shipping label of the shipped order
    EXPECT_TRUE(text.contains("SHIP TO"));
}

TEST_F(LabelWizard, EarlyExitsSayWhyAndLeaveNothingBehind) {
    // A shipment label with no shipment shipped today.
    execute("UPDATE Shipments SET ActShipDate = Null");
    frmPrtSelect& w = readyToPrint(&frmPrtSelect::optShipmentLabels);
    dialogs->answer(runtime::Answer::Yes);
    w.cmdPrint->click();
    ASSERT_EQ(dialogs->shown().size(), 2u);
    EXPECT_EQ(dialogs->shown()[0].prompt, "This label should be associated with a shipment.");
    EXPECT_FALSE(QFile::exists(pdf()));

    // Nothing matches: the message depends on the check box.
    dialogs->clear();
    execute("UPDATE [Job Lookup Table] SET BoxLabelQuery = 'Nothing' WHERE [Job Number] = '4443-3'");
    {
        dao::Database db = dao::engine().OpenDatabase(path);
        db.CreateQueryDef("Nothing", "PARAMETERS [JOB NUMBER TO PRINT] Text; SELECT * FROM Shipments WHERE "
                                     "JobNum = [JOB NUMBER TO PRINT] AND Quantity < 0");
        db.Close();
    }
    w.lstCustList_Click(); // the parts grid reads the job's label settings again
    w.optBoxLabels->setChecked(true);
    w.chkPrintForShipment->setChecked(false);
    dialogs->answer(runtime::Answer::Yes);
    w.cmdNext->click(), w.cmdNext->click(); // "Yes, more labels" went back to page 1
    w.cmdPrint->click();
    ASSERT_EQ(dialogs->shown().size(), 2u);
    EXPECT_EQ(dialogs->shown()[0].prompt,
              "No records matched your selections.  Try associating these labels with a shipment.");
    EXPECT_FALSE(labelTableExists());

    // A template that is not there: the engine's code and the file, and the table is gone all the same.
    dialogs->clear();
    execute("UPDATE [Job Lookup Table] SET BoxLabelQuery = 'Box Label Query', LabelFilename = 'no such.rpt'");
    w.lstCustList_Click();
    dialogs->type("L-1").answer(runtime::Answer::Yes);
    w.cmdNext->click(), w.cmdNext->click();
    w.cmdPrint->click();
    ASSERT_EQ(dialogs->shown().size(), 3u);
    // The reason, and the file named whole with one kind of separator.
    const QString missing = QDir::toNativeSeparators(QString::fromStdString(paths::templateFile("no such.rpt")));
    EXPECT_EQ(QString::fromStdString(dialogs->shown()[1].prompt),
              "Print Error, Code:1.  The report template " + missing +
                  " cannot be read: it is not there.\n"
                  "Report FileName = " +
                  missing);
    EXPECT_FALSE(labelTableExists());

    // Copies that are not a whole number from 1 to 999 are refused before anything is prepared, and
    // the clerk stays on the page to mend them.
    w.cmdNext->click(), w.cmdNext->click();
    for (const char* copies : {"2.5", "1000"}) {
        dialogs->clear();
        w.txtNumCopies->setText(copies);
        w.cmdPrint->click();
        ASSERT_EQ(dialogs->shown().size(), 1u) << copies;
        EXPECT_EQ(dialogs->shown()[0].prompt,
                  "Please enter the number of copies as a whole number from 1 to 999.");
        EXPECT_EQ(w.currentPage(), 3);
        EXPECT_EQ(frmPrtSelect::openWindow(), &w);
        EXPECT_FALSE(labelTableExists());
    }
}

TEST_F(LabelWizard, PrintSetupConfirmsAChoiceOfPrinterNotAPrint) {
    QPrinter printer;
    std::unique_ptr<QPrintDialog> dialog = frmPrtSelect::makePrintSetupDialog(printer, nullptr);
    dialog->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->windowTitle(), "Print Setup");
    QStringList buttons;
    for (QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>())
        for (QAbstractButton* b : box->buttons())
            buttons << b->text().remove('&');
    EXPECT_TRUE(buttons.contains("OK")) << buttons.join(", ").toStdString();
    EXPECT_FALSE(buttons.contains("Print")) << buttons.join(", ").toStdString();
    dialog->reject();
}

TEST_F(LabelWizard, ALeftoverLabelTableIsNotPrintedAgain) {
    {
        dao::Database reports = OpenOrCreateDatabase(kReportsDatabase);
        reports.Execute("CREATE TABLE BarCode (Leftover TEXT)");
        reports.Execute("INSERT INTO BarCode VALUES ('OLD')");
        reports.Close();
    }
    frmPrtSelect& w = readyToPrint(&frmPrtSelect::optBoxLabels);
    dialogs->type("L-7").answer(runtime::Answer::No);
    w.cmdPrint->click();
    EXPECT_EQ(reporttest::pdfPages(pdf()), 1);
    EXPECT_FALSE(reporttest::pdfText(pdf()).contains("OLD"));
    EXPECT_FALSE(labelTableExists());
}

class LabelPrinters : public LabelWizard {
protected:
    void SetUp() override {
        if (!whyNoSpooler.isEmpty()) GTEST_SKIP() << "no print spooler here: " << whyNoSpooler.toStdString();
        LabelWizard::SetUp();
    }
};

TEST_F(LabelPrinters, SwitchToTheBarcodePrinterAndBack) {
    frmPrtSelect& w = frmPrtSelect::showWindow();
    EXPECT_EQ(programPrinter::DeviceName(), "Office");
    EXPECT_EQ(w.rememberedPrinter(), "Office");
    EXPECT_TRUE(w.SetBarcodePrinter()); // "barcode" in any case
    EXPECT_EQ(programPrinter::DeviceName(), "barcode");
    EXPECT_TRUE(w.SetBarcodePrinter()); // already there: the remembered printer stays
    EXPECT_EQ(w.rememberedPrinter(), "Office");
    EXPECT_TRUE(w.SetNormalPrinter());
    EXPECT_EQ(programPrinter::DeviceName(), "Office");
}

TEST_F(LabelPrinters, BarcodedLabelsGoToTheBarcodeQueueAndThePrinterComesBack) {
    frmPrtSelect& w = readyToPrint(&frmPrtSelect::optBoxLabels);
    w.rptLabel->setDestination(ReportComponent::crptToPrinter);
    dialogs->type("L-9").answer(runtime::Answer::No);
    w.cmdPrint->click();
    ASSERT_EQ(dialogs->shown().size(), 2u) << dialogs->shown()[1].prompt;
    EXPECT_FALSE(spooler->spooled("barcode").isEmpty());
    EXPECT_EQ(spooler->jobName("barcode"), "box label"); // the job is named after its report
    EXPECT_EQ(programPrinter::DeviceName(), "Office");
}

// With no printer at all the clerk is told so and what to do; the wizard has no preview to export from.
TEST_F(LabelPrinters, WithNoPrinterInstalledTheClerkIsToldWhatToDo) {
    ASSERT_TRUE(spooler->removeQueue("barcode") && spooler->removeQueue("Office"));
    frmPrtSelect& w = readyToPrint(&frmPrtSelect::optBoxLabels);
    w.rptLabel->setDestination(ReportComponent::crptToPrinter);
    dialogs->type("L-9").answer(runtime::Answer::No);
    w.cmdPrint->click();
    ASSERT_TRUE(spooler->addQueue("Office") && spooler->addQueue("barcode") && spooler->setDefault("Office"));
    ASSERT_EQ(dialogs->shown().size(), 3u);
    const QString prompt = QString::fromStdString(dialogs->shown()[1].prompt);
    EXPECT_EQ(prompt,
              "Print Error, Code:8.  No printer is installed on this computer. Ask whoever looks after "
              "this computer to install the printer, then print again.\nReport FileName = " +
                  QDir::toNativeSeparators(QString::fromStdString(paths::templateFile("box label.rpt"))));
    EXPECT_FALSE(prompt.contains("Export"));
    EXPECT_FALSE(labelTableExists());
}

TEST_F(LabelPrinters, WithoutABarcodePrinterLabelsPrintOnTheCurrentOne) {
    ASSERT_TRUE(spooler->removeQueue("barcode"));
    frmPrtSelect& w = readyToPrint(&frmPrtSelect::optBoxLabels);
    w.rptLabel->setDestination(ReportComponent::crptToPrinter);
    dialogs->type("L-9").answer(runtime::Answer::No);
    w.cmdPrint->click();
    EXPECT_FALSE(spooler->spooled("Office").isEmpty());
    ASSERT_TRUE(spooler->addQueue("barcode"));
}

TEST_F(LabelPrinters, PrintSetupChoosesForTheReportAndLeavesTheProgramsPrinter) {
    frmPrtSelect& w = frmPrtSelect::showWindow();
    frmPrtSelect::setPrinterDialog([](frmPrtSelect::PrintSetupChoice& choice) {
        EXPECT_EQ(choice.deviceName, "Office");
        choice.deviceName = "barcode";
        choice.copies = 3;
        choice.fromPage = 2, choice.toPage = 4;
        return true;
    });
    w.cmdPrintSetup->click();
    EXPECT_EQ(programPrinter::DeviceName(), "Office");
    EXPECT_EQ(w.rptLabel->PrinterName(), "barcode");
    EXPECT_EQ(w.rptLabel->CopiesToPrinter(), 3);
    EXPECT_EQ(w.rptLabel->PrinterStartPage(), 2);
    EXPECT_EQ(w.rptLabel->PrinterStopPage(), 4);
}

} // namespace
