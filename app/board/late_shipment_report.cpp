#include "late_shipment_report.h"

#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "frmShipments.h"
#include "late_shipment_sheet.h"

#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/locale_text.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>

namespace lateReport {
namespace {

using runtime::Date;

const char* const kCrosstabQuery = "zzLateShipQuery_Crosstab";

// Asks for a date until the answer is one; nothing when the user cancels.
std::optional<Date> askDate(const std::string& prompt, const std::string& title, std::string answer) {
    for (;;) {
        std::optional<std::string> typed = runtime::InputBox(prompt, title, answer);
        if (!typed) return std::nullopt;
        if (auto date = runtime::parseDateText(*typed); date && !date->hasTime()) return date->datePart();
        runtime::MsgBox("\"" + *typed + "\" is not a date.  Type " + runtime::dateFormHint() + ".",
                        runtime::mb::Exclamation);
        answer = *typed;
    }
}

// The range of the report; this month unless the user says otherwise.
std::optional<std::pair<Date, Date>> askRange() {
    Date today = runtime::Today();
    Date first = Date::fromYmd(today.year(), today.month(), 1);
    Date last = Date::fromYmd(today.year(), today.month() + 1, 1).addDays(-1);
    // Both defaults are written as the answer is read: in the user's locale.
    auto low =
        askDate("Enter the earliest date to report on", "Enter Low Date", runtime::shortDateText(first));
    if (!low) return std::nullopt;
    std::string highDefault = runtime::shortDateText(last);
    for (;;) {
        auto high = askDate("Enter the latest date to report on", "Enter High Date", highDefault);
        if (!high) return std::nullopt;
        if (*high >= *low) return std::pair{*low, *high};
        runtime::MsgBox("The latest date (" + runtime::shortDateText(*high) +
                            ") is before the earliest date (" + runtime::shortDateText(*low) +
                            "). Enter a later date.",
                        runtime::mb::Exclamation);
        highDefault = runtime::shortDateText(*high);
    }
}

// A file name of its own in the folder: an earlier report of the same range is never overwritten.
std::string freshPath(const std::string& folder, Date low, Date high) {
    QDir dir(QString::fromStdString(folder));
    QString base = QString("Late Shipments %1 to %2")
                       .arg(QString::fromStdString(low.isoDate()), QString::fromStdString(high.isoDate()));
    QString name = base + ".xlsx";
    for (int n = 2; dir.exists(name); ++n)
        name = QString("%1 (%2).xlsx").arg(base).arg(n);
    return dir.filePath(name).toStdString();
}

// Reads the crosstab under a progress window; nothing when the user stopped it.
std::optional<Crosstab> readWithProgress(dao::Recordset& rs, Date low, Date high) {
    QProgressDialog progress("Reading the late shipments…", "Stop", 0, 100, QApplication::activeWindow());
    progress.setWindowTitle("Late Shipments Report");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    return readCrosstab(rs, low, high, [&](int read, int total) {
        progress.setMaximum(total);
        progress.setValue(read);
        return !progress.wasCanceled();
    });
}

std::string writeWorkbook(const Crosstab& crosstab, Date low, Date high, const std::string& companyName,
                          const std::string& folder) {
    if (!QDir().mkpath(QString::fromStdString(folder)))
        throw workbook::Error("The folder " + folder + " cannot be created");
    std::string path = freshPath(folder, low, high);
    workbook::Workbook book(path);
    layOutSheet(book.addWorksheet("Late Shipments"), crosstab, low, high, companyName);
    book.close();
    return path;
}

} // namespace

Destination desktopDestination() {
    return {QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString(),
            [](const std::string& path) {
                return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
            }};
}

std::string run(dao::Database& db, const std::string& companyName, const Destination& destination) {
    if (runtime::MsgBox("Continuing this process will create a new workbook and open it in your spreadsheet "
                        "program.  Is this OK?",
                        runtime::mb::YesNo | runtime::mb::Information,
                        "Spreadsheet Required") != runtime::Answer::Yes)
        return "";
    std::optional<Crosstab> crosstab;
    std::pair<Date, Date> range;
    try {
        dao::QueryDef query = db.QueryDefs(kCrosstabQuery);
        auto asked = askRange();
        if (!asked) return "";
        range = *asked;
        query.Parameters("LoDate").setValue(range.first);
        query.Parameters("HiDate").setValue(range.second);
        dao::Recordset rs = query.OpenRecordset(dao::dbOpenDynaset);
        crosstab = readWithProgress(rs, range.first, range.second);
        rs.Close();
    } catch (const dao::Error& e) {
        runtime::MsgBox("The late shipments cannot be read: " + e.description(), runtime::mb::Critical);
        return "";
    }
    if (!crosstab) return "";
    std::string path;
    try {
        path = writeWorkbook(*crosstab, range.first, range.second, companyName, destination.folder);
    } catch (const std::exception& e) {
        runtime::MsgBox(e.what(), runtime::mb::Critical);
        return "";
    }
    bool shown = destination.open && destination.open(path);
    runtime::MsgBox(
        "Your report is complete.\n\nThe workbook is saved as " + path +
        (shown ? "" : "\n\nNo spreadsheet program could be started to show it; open the file from there."));
    return path;
}

} // namespace lateReport

void frmShipments::cmdLateShipmentReport_Click() {
    lateReport::run(database(), basGlobals::gOptions->CompanyName(), lateReport::desktopDestination());
}
