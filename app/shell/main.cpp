// dorvane: the shipping department's board.
#include "frmMain.h"

#include "runtime/error_report.h"
#include "runtime/qt_dialogs.h"

#include <QApplication>

namespace {
// An error no handler traps ends the program with the standard run-time error report.
class DorvaneApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const runtime::Error& e) {
            runtime::reportFatalError(e);
        }
    }
};
} // namespace

int main(int argc, char** argv) {
    DorvaneApplication app(argc, argv);
    QApplication::setApplicationName("Dorvane");
    runtime::setDialogs(std::make_shared<runtime::QtDialogs>());
    frmMain::instance().show();
    return app.exec();
}
