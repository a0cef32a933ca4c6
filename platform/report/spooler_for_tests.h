#pragma once
// A real print spooler for tests: cupsd started on a private socket under a folder of the test's
// own, with queues that spool into files there, and the print service pointed at it (CUPS_SERVER).
// Where cupsd cannot start, start() says why and the caller skips what needs it.
// The queues are raw (the spooler passes on the PDF the program sends) and end in a small backend
// of the test's own that writes the job into the test's folder: the packaged PDF backend always
// writes into a home or spool folder of the machine, which a test must not touch.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <cstdlib>
#include <sys/stat.h>

namespace reporttest {

class Spooler {
public:
    explicit Spooler(QString folder) : folder_(std::move(folder)) {}
    ~Spooler() { stop(); }

    // Starts cupsd with the queues named (the first is the default); "" when it runs, else why not.
    QString start(const QStringList& queues) {
        const QString socket = path("cups.sock");
        for (const char* d : {"spool", "spool/tmp", "cache", "state", "out", "log", "bin/backend"}) QDir().mkpath(path(d));
        // The spooler's programs are the system's, with the test's backend added.
        for (const char* d : {"filter", "daemon", "cgi-bin", "monitor", "notifier", "driver"})
            QFile::link(QString("/usr/lib/cups/") + d, path("bin/") + d);
        write("bin/backend/testfile", "#!/bin/sh\n"
                                      "# Lists no devices; writes a job to the file its URI names, and\n"
                                      "# the job's name (its title) beside it.\n"
                                      "[ $# -eq 0 ] && exit 0\n"
                                      "out=\"${DEVICE_URI#testfile:}\"\n"
                                      "printf '%s' \"$3\" > \"$out.title\"\n"
                                      "if [ $# -ge 6 ]; then cat \"$6\"; else cat; fi > \"$out.part\" || exit 1\n"
                                      "mv \"$out.part\" \"$out\"\n");
        ::chmod(path("bin/backend/testfile").toLocal8Bit().constData(), 0755);
        // Filters run as the spooler's unprivileged user: it must reach the spool and the output.
        for (const char* d : {"", "spool", "spool/tmp", "out"}) ::chmod(path(d).toLocal8Bit().constData(), 01777);
        write("cupsd.conf", "Listen " + socket +
                                "\nLogLevel warn\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                                "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                                "<Location /admin>\nOrder allow,deny\nAllow all\n</Location>\n"
                                "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n");
        write("cups-files.conf", "ServerRoot " + path("") + "\nStateDir " + path("state") + "\nCacheDir " +
                                     path("cache") + "\nRequestRoot " + path("spool") + "\nTempDir " +
                                     path("spool/tmp") + "\nErrorLog " + path("log/error_log") + "\nAccessLog " +
                                     path("log/access_log") + "\nPageLog " + path("log/page_log") +
                                     "\nServerBin " + path("bin") + "\n");
        QString program;
        for (const char* candidate : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
            if (QFileInfo(candidate).isExecutable()) program = candidate;
        if (program.isEmpty()) return "cupsd is not installed";
        cupsd_ = new QProcess;
        cupsd_->setProcessChannelMode(QProcess::MergedChannels);
        cupsd_->start(program, {"-f", "-c", path("cupsd.conf"), "-s", path("cups-files.conf")});
        if (!cupsd_->waitForStarted(10000)) return "cupsd did not start: " + cupsd_->errorString();
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            if (cupsd_->waitForFinished(100)) {
                QFile log(path("log/error_log"));
                log.open(QIODevice::ReadOnly);
                return "cupsd stopped at once: " + QString::fromUtf8(cupsd_->readAll() + log.readAll()).trimmed();
            }
        if (!QFileInfo::exists(socket)) return "cupsd opened no socket";
        setenv("CUPS_SERVER", socket.toLocal8Bit().constData(), 1);
        QString out;
        for (const QString& queue : queues)
            if (!addQueue(queue, &out)) return "lpadmin could not add a queue: " + out.trimmed();
        if (!queues.isEmpty() && !run({"-h", socket, "-d", queues.first()}, &out))
            return "no default printer: " + out.trimmed();
        return {};
    }

    // A queue that spools into out/NAME.pdf.
    bool addQueue(const QString& name, QString* output = nullptr) {
        return run({"-h", path("cups.sock"), "-p", name, "-v", "testfile:" + path("out/") + name + ".pdf", "-E"}, output);
    }
    bool removeQueue(const QString& name) { return run({"-h", path("cups.sock"), "-x", name}, nullptr); }
    bool setDefault(const QString& name) { return run({"-h", path("cups.sock"), "-d", name}, nullptr); }

    void stop() {
        if (!cupsd_) return;
        cupsd_->terminate();
        if (!cupsd_->waitForFinished(10000)) cupsd_->kill();
        cupsd_->waitForFinished(5000);
        delete cupsd_;
        cupsd_ = nullptr;
        unsetenv("CUPS_SERVER");
    }

    // The file a queue spooled a job into, once it has been written out completely; "" when none came.
    QString spooled(const QString& queue) const {
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

    // The name the job spooled into a queue had in the queue (its title), once the job is written.
    QString jobName(const QString& queue) const {
        if (spooled(queue).isEmpty()) return {};
        QFile f(path("out/" + queue + ".pdf.title"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QString path(const QString& name) const { return QDir(folder_).filePath(name); }
    void write(const QString& name, const QString& text) {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
    }
    static bool run(const QStringList& args, QString* output) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start("lpadmin", args);
        bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (output) *output = QString::fromUtf8(p.readAll());
        return ok;
    }

    QString folder_;
    QProcess* cupsd_ = nullptr;
};

} // namespace reporttest
