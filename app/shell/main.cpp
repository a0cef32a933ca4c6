// dorvane: the shipping department's board.
#include "command_line.h"
#include "frmMain.h"

#include "dao/dao.h"
#include "runtime/error_report.h"
#include "runtime/qt_dialogs.h"
#include "widgets/dao_record_source.h"

#include <QApplication>
#include <QIcon>

namespace {
// An error no handler traps ends the program with the standard run-time error report, after every
// open transaction was rolled back.
class DorvaneApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            // Not only the program's own errors: anything else would end it with nothing said and
            // a transaction still open.
            runtime::reportFatalError(std::current_exception());
        }
    }
};
} // namespace

int main(int argc, char** argv) {
    if (std::optional<int> answered = answerCommandLine(argc, argv)) return *answered;
    DorvaneApplication app(argc, argv);
    QApplication::setApplicationName("Dorvane");
    // The installed menu entry and icon: the desktop matches the windows to them by this name.
    QGuiApplication::setDesktopFileName("org.dorvane.Dorvane");
    QApplication::setWindowIcon(QIcon::fromTheme("org.dorvane.Dorvane"));
    runtime::setDialogs(std::make_shared<runtime::QtDialogs>());
    // An open transaction is rolled back before the error report, so no half-written change stays.
    runtime::onFatalError([] { dao::engine().rollbackAll(); });
    widgets::installDaoOpener();
    try {
        frmMain::instance().Form_Load();
    } catch (...) {
        runtime::reportFatalError(std::current_exception());
    }
    int code = app.exec();
    // A window closed in the middle of a change: it was never committed, so it is undone, not left
    // in the file's journal for the next start.
    runtime::runFatalErrorCleanups();
    return code;
}
