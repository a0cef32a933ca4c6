// Printing through a real spooler. The test starts its own cupsd on a private socket, with two
// queues that spool into files of the test's folder, and points the print service at it; where
// cupsd cannot start here, the tests say so and are skipped (the PDF path is tested elsewhere).
// The queues are raw (the spooler passes on the PDF the program sends) and end in a small backend
// of the test's own that writes the job into the test's folder: the packaged PDF backend always
// writes into a home or spool folder of the machine, which a test must not touch.
#include "printers.h"
#include "report_job.h"
#include "report_status.h"
#include "report_test_support.h"

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
QProcess* cupsd = nullptr;
QString whyNoSpooler;

QString cupsdProgram() {
    for (const char* candidate : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
        if (QFileInfo(candidate).isExecutable()) return candidate;
    return {};
}

QString path(const QString& name) {
    return folder->filePath(name);
}

bool writeFile(const QString& name, const QString& text) {
    QFile f(path(name));
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

bool run(const QString& program, const QStringList& args, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output) *output = QString::fromUtf8(p.readAll());
    return ok;
}

// Starts cupsd with everything under the test's folder; "" when it runs, else why not.
QString startSpooler() {
    const QString socket = path("cups.sock");
    for (const char* d : {"spool", "spool/tmp", "cache", "state", "out", "log", "bin/backend"})
        QDir().mkpath(path(d));
    // The spooler's programs are the system's, with the test's backend added.
    for (const char* d : {"filter", "daemon", "cgi-bin", "monitor", "notifier", "driver"})
        QFile::link(QString("/usr/lib/cups/") + d, path("bin/") + d);
    writeFile("bin/backend/testfile",
              "#!/bin/sh\n"
              "# Lists no devices; writes a job to the file its URI names.\n"
              "[ $# -eq 0 ] && exit 0\n"
              "out=\"${DEVICE_URI#testfile:}\"\n"
              "if [ $# -ge 6 ]; then cat \"$6\"; else cat; fi > \"$out.part\" || exit 1\n"
              "mv \"$out.part\" \"$out\"\n");
    ::chmod(path("bin/backend/testfile").toLocal8Bit().constData(), 0755);
    // Filters run as the spooler's unprivileged user: it must reach the spool and the output.
    for (const char* d : {"", "spool", "spool/tmp", "out"})
        ::chmod(path(d).toLocal8Bit().constData(), 01777);
    writeFile("cupsd.conf", "Listen " + socket +
                                "\nLogLevel warn\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                                "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                                "<Location /admin>\nOrder allow,deny\nAllow all\n</Location>\n"
                                "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n");
    writeFile("cups-files.conf", "ServerRoot " + path("") + "\nStateDir " + path("state") + "\nCacheDir " +
                                     path("cache") + "\nRequestRoot " + path("spool") + "\nTempDir " +
                                     path("spool/tmp") + "\nErrorLog " + path("log/error_log") +
                                     "\nAccessLog " + path("log/access_log") + "\nPageLog " +
                                     path("log/page_log") + "\nServerBin " + path("bin") + "\n");
    if (cupsdProgram().isEmpty()) return "cupsd is not installed";
    cupsd = new QProcess;
    cupsd->setProcessChannelMode(QProcess::MergedChannels);
    cupsd->start(cupsdProgram(), {"-f", "-c", path("cupsd.conf"), "-s", path("cups-files.conf")});
    if (!cupsd->waitForStarted(10000)) return "cupsd did not start: " + cupsd->errorString();
    // Wait until it answers on its socket (or has given up).
    for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i) {
        if (cupsd->waitForFinished(100)) {
            QFile log(path("log/error_log"));
            log.open(QIODevice::ReadOnly);
            return "cupsd stopped at once: " + QString::fromUtf8(cupsd->readAll() + log.readAll()).trimmed();
        }
    }
    if (!QFileInfo::exists(socket)) return "cupsd opened no socket";
    QString out;
    for (const char* queue : {"DorvaneTest", "DorvaneOther"})
        if (!run("lpadmin",
                 {"-h", socket, "-p", queue, "-v", "testfile:" + path("out/") + queue + ".pdf", "-E"}, &out))
            return "lpadmin could not add a queue: " + out.trimmed();
    if (!run("lpadmin", {"-h", socket, "-d", "DorvaneTest"}, &out))
        return "no default printer: " + out.trimmed();
    return {};
}

void stopSpooler() {
    if (!cupsd) return;
    cupsd->terminate();
    if (!cupsd->waitForFinished(10000)) cupsd->kill();
    cupsd->waitForFinished(5000);
    delete cupsd;
    cupsd = nullptr;
}

// The spooled file of a queue once the job has been written out.
QString spooled(const QString& queue) {
    const QString file = path("out/" + queue + ".pdf");
    qint64 last = -1;
    for (int i = 0; i < 300; ++i) {
        qint64 size = QFileInfo(file).size();
        if (size > 0 && size == last) return file;
        last = QFileInfo::exists(file) ? size : -1;
        QThread::msleep(100);
    }
    return {};
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
                  "[report]\ntable = Lines\ndatabase = " + path("reports.db") +
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
    EXPECT_TRUE(text.contains("Cap"));

    o = report::runReport(job("DorvaneOther"));
    ASSERT_EQ(o.status, report::status::Ok) << o.message.toStdString();
    file = spooled("DorvaneOther");
    ASSERT_FALSE(file.isEmpty()) << "the chosen queue wrote nothing";
    EXPECT_TRUE(reporttest::pdfText(file).contains("Lid"));

    EXPECT_EQ(report::runReport(job("Dorvane Missing")).status, report::status::PrinterNotFound);
    EXPECT_TRUE(dialogs->shown().empty());
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir("/tmp/dorvane-cups-XXXXXX");
    folder = &dir;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    whyNoSpooler = startSpooler();
    if (whyNoSpooler.isEmpty()) {
        // The print service of this process is the test's own spooler, never the machine's.
        qputenv("CUPS_SERVER", path("cups.sock").toLocal8Bit());
    } else {
        fprintf(stderr, "report_cups_test: cupsd cannot run here (%s); the spooler tests are skipped.\n",
                qPrintable(whyNoSpooler));
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    stopSpooler();
    return rc;
}
