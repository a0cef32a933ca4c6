#pragma once
// One run of a report: read the template, read every row of its table from the reports database,
// lay the report out and send it to the preview window, a printer or a PDF file. When the run
// returns, the rows have been read: the caller may drop its table at once.
#include "report_document.h"

#include <QPointer>
#include <QStringList>

class QWidget;

namespace report {

class PreviewWindow;

enum class Destination { Window = 0, Printer = 1, File = 2 };

struct JobRequest {
    QString templatePath;
    QStringList formulas; // "Name= value" entries; the value is a report-writer literal ('text', "text", 12)
    Destination destination = Destination::Window;
    QString printerName; // "" = the system's default printer
    int copies = 1;
    int firstPage = 0, lastPage = 0; // 0 = from the first / to the last page
    QString outputFile;              // Destination::File: the PDF to write
    QString windowTitle = "Print Preview";
    QString dataFile; // the reports database, when not the template's own
    QWidget* parent = nullptr;
};

struct JobOutcome {
    int status = 0;
    QString message; // what went wrong, for the user or a log
    int pages = 0;
    QPointer<PreviewWindow> preview; // Destination::Window: the window shown
};

JobOutcome runReport(const JobRequest& request);

// The rows of `table` in the database at `path` (every field, in the table's order); reading stops
// with `status`/`message` set when the database or table cannot be opened.
RowSet readTable(const QString& path, const QString& table, int* status, QString* message);

// The value of a formula entry's right side: a quoted literal loses its quotes (doubled quotes
// inside read as one), anything else is taken as written.
QString formulaLiteral(const QString& text);

} // namespace report
