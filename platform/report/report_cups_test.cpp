// Printing through a real spooler (spooler_for_tests.h): the test's own cupsd with two queues that
// spool into files of the test's folder; where cupsd cannot start here, the tests say so and are
// skipped (the PDF path is tested elsewhere).
#include "printers.h"
#include "report_job.h"
#include "report_status.h"
#include "report_test_support.h"
#include "spooler_for_tests.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"
#include "runtime/scripted_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QTemporaryDir* folder = nullptr;
reporttest::Spooler* spooler = nullptr;
QString whyNoSpooler;

QString path(const QString& name) {
    return folder->filePath(name);
}

bool writeFile(const QString& name, const QString& text) {
    QFile f(path(name));
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

QString spooled(const QString& queue) {
    return spooler->spooled(queue);
}

class Spooler : public ::testing::Test {
protected:
    void SetUp() override {
        if (!whyNoSpooler.isEmpty()) GTEST_SKIP() << "no print spooler here: " << whyNoSpooler.toStdString();
        runtime::setDateLocale("en_US");
        runtime::setClock(runtime::Date::fromYmdHms(2026, 12, 8, 9, 0, 0));
        dialogs = runtime::useScriptedDialogs();
        dao::engine().reset();
        QFile::remove(path("reports.db"));
        dao::Database db = dao::engine().CreateDatabase(path("reports.db").toStdString());
        db.Execute("CREATE TABLE Lines (Item TEXT, Qty INTEGER)");
        db.Execute("INSERT INTO Lines VALUES ('Lid', 10), ('Cap', 20)");
        db.Close();
        writeFile("lines.rpt",
                  "[report]\ntable = Lines\ntitle = \"Spooled lines\"\ndatabase = " + path("reports.db") +
                      "\n[page-header 30]\ntext \"Spooled lines\" x=0 y=0 w=300 h=20\n"
                      "[detail 14]\nfield Item x=0 y=0 w=100 h=14\nfield Qty x=100 y=0 w=50 h=14\n");
    }
    void TearDown() override {
        runtime::setClock(std::nullopt);
        runtime::setDialogs(nullptr);
    }
    report::JobRequest job(const QString& printer) {
        report::JobRequest r;
        r.templatePath = path("lines.rpt");
        r.destination = report::Destination::Printer;
        r.printerName = printer;
        return r;
    }
    std::shared_ptr<runtime::ScriptedDialogs> dialogs;
};

TEST_F(Spooler, ListsTheSystemsPrinters) {
    QStringList names = report::printerNames();
    EXPECT_TRUE(names.contains("DorvaneTest"));
    EXPECT_TRUE(names.contains("DorvaneOther"));
}

TEST_F(Spooler, PrintsOnTheDefaultAndOnAChosenPrinter) {
    report::JobOutcome o = report::runReport(job(""));
    ASSERT_EQ(o.status, report::status::Ok) << o.message.toStdString();
    QString file = spooled("DorvaneTest");
    ASSERT_FALSE(file.isEmpty()) << "the default queue wrote nothing";
    QString text = reporttest::pdfText(file);
    EXPECT_TRUE(text.contains("Spooled lines"));
    EXPECT_EQ(spooler->jobName("DorvaneTest"), "Spooled lines"); // the queue names the job after the report
    EXPECT_TRUE(text.contains("Cap"));

    o = report::runReport(job("DorvaneOther"));
    ASSERT_EQ(o.status, report::status::Ok) << o.message.toStdString();
    file = spooled("DorvaneOther");
    ASSERT_FALSE(file.isEmpty()) << "the chosen queue wrote nothing";
    EXPECT_TRUE(reporttest::pdfText(file).contains("Lid"));

    EXPECT_EQ(report::runReport(job("Dorvane Missing")).status, report::status::PrinterNotFound);
    EXPECT_TRUE(dialogs->shown().empty());
}

// The spooler runs before any test asks the print service for printers (the print service reads
// CUPS_SERVER once).
class SpoolerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        folder = new QTemporaryDir("/tmp/dorvane-cups-XXXXXX");
        spooler = new reporttest::Spooler(folder->path());
        whyNoSpooler = spooler->start({"DorvaneTest", "DorvaneOther"});
        if (!whyNoSpooler.isEmpty())
            fprintf(stderr, "report_cups_test: cupsd cannot run here (%s); the spooler tests are skipped.\n",
                    qPrintable(whyNoSpooler));
    }
    void TearDown() override {
        delete spooler;
        delete folder;
    }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new SpoolerEnvironment);

} // namespace
