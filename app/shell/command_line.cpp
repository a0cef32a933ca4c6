#include "command_line.h"

#include "dorvane_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

std::optional<int> answerCommandLine(int argc, char** argv) {
    // A core application only, so no display is needed; it is gone before the windows' one starts.
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName("dorvane");
    QCoreApplication::setApplicationVersion(DORVANE_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "The shipping department's board: shipments by status, truck lines, labels, packing lists and "
        "reports, over a SQLite file or a PostgreSQL database that several workstations share.\n"
        "The database and the accounts are set up with dorvane-admin; dorvane asks for a user name and "
        "a password when it starts. Qt's own options (-platform, -style, ...) are accepted too.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Unknown options may be Qt's, which the windows' application takes out of the arguments.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(help) || parser.isSet("help-all")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("dorvane %s\n", DORVANE_VERSION);
        return 0;
    }
    return std::nullopt;
}
