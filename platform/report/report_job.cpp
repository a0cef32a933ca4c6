#include "report_job.h"

#include "barcode.h"
#include "preview_window.h"
#include "printers.h"
#include "report_render.h"
#include "report_status.h"

#include "dao/dao.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

namespace report {
namespace {

JobOutcome failed(int status, const QString& message) {
    JobOutcome o;
    o.status = status;
    o.message = message;
    return o;
}

// Formula entries over the template's defaults; an entry for a formula the template does not
// define is refused, as a misspelt name would otherwise print nothing without a word.
bool applyFormulas(const Template& t, const QStringList& entries, std::map<QString, QString>* values,
                   JobOutcome* error) {
    *values = t.formulas;
    for (auto& [name, value] : *values)
        value = formulaLiteral(value);
    for (const QString& entry : entries) {
        if (entry.trimmed().isEmpty()) continue;
        int eq = entry.indexOf('=');
        if (eq <= 0) {
            *error = failed(status::FormulaInvalid, "The formula \"" + entry + "\" is not Name= value.");
            return false;
        }
        QString name = entry.left(eq).trimmed();
        if (!t.formulas.count(name)) {
            *error = failed(status::FormulaUnknown, "The report has no formula named " + name + ".");
            return false;
        }
        (*values)[name] = formulaLiteral(entry.mid(eq + 1));
    }
    return true;
}

QString firstBarcodeError(const Document& doc) {
    for (const Page& page : doc.pages)
        for (const PlacedItem& p : page.items)
            if (p.item->kind == ItemKind::Barcode) {
                QString e = barcodeError(p.item->symbology, p.text);
                if (!e.isEmpty()) return p.item->text + " \"" + p.text + "\": " + e;
            }
    return {};
}

bool validRange(const JobRequest& r, int pages) {
    if (r.firstPage < 0 || r.lastPage < 0) return false;
    if (r.firstPage > pages) return false;
    return r.lastPage == 0 || r.firstPage <= r.lastPage;
}

// A template's fault as the person who must mend it reads it: the file, whole, and the line.
JobOutcome templateFault(const QString& path, const TemplateError& e) {
    const QString file = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (e.line == 0 && !QFileInfo(path).isReadable())
        return failed(status::TemplateNotFound,
                      "The report template " + file + " cannot be read: " +
                          (QFileInfo::exists(path) ? "it is not readable." : "it is not there."));
    const QString where = e.line > 0 ? file + ", line " + QString::number(e.line) : file;
    return failed(status::TemplateInvalid,
                  "The report template " + where + " has a fault: " + e.reason + ".");
}

JobOutcome output(const JobRequest& r, const std::shared_ptr<Document>& doc) {
    JobOutcome o;
    o.pages = int(doc->pages.size());
    switch (r.destination) {
    case Destination::Window: {
        auto* window = new PreviewWindow(doc, r.windowTitle, r.parent);
        window->show();
        o.preview = window;
        return o;
    }
    case Destination::File:
        if (r.outputFile.isEmpty()) return failed(status::NoOutputFile, "No file was named for the report.");
        if (!writePdf(*doc, r.outputFile, r.firstPage, r.lastPage))
            return failed(status::OutputFailed, "The report could not be written to " + r.outputFile + ".");
        return o;
    case Destination::Printer: {
        QString problem;
        int code = 0;
        std::unique_ptr<QPrinter> printer = openPrinter(r.printerName, &problem, &code);
        // The caller shows the reason with its own message: there is no preview here to turn to.
        if (!printer) {
            if (code == status::NoPrinter)
                problem += " Ask whoever looks after this computer to install the printer, then print again.";
            return failed(code, problem);
        }
        if (!printDocument(*doc, *printer, r.copies, r.firstPage, r.lastPage))
            return failed(status::OutputFailed,
                          "The report could not be sent to " + printer->printerName() + ".");
        return o;
    }
    }
    return o;
}

} // namespace

QString formulaLiteral(const QString& text) {
    QString t = text.trimmed();
    if (t.size() >= 2 && (t.front() == '\'' || t.front() == '"') && t.back() == t.front()) {
        const QChar q = t.front();
        return t.mid(1, t.size() - 2).replace(QString(2, q), QString(q));
    }
    return t;
}

RowSet readTable(const QString& path, const QString& table, int* status, QString* message) {
    RowSet set;
    dao::Database db;
    try {
        db = dao::engine().OpenDatabase(path.toStdString(), false, true);
    } catch (const std::exception& e) {
        *status = status::DatabaseNotOpened;
        *message = "The reports database " + path + " cannot be opened: " + e.what();
        return set;
    }
    try {
        dao::Recordset rs = db.OpenRecordset(table.toStdString(), dao::dbOpenForwardOnly);
        for (int i = 0; i < rs.FieldCount(); ++i)
            set.names << QString::fromStdString(rs.Fields(i).Name());
        std::vector<dao::Field> fields;
        for (int i = 0; i < rs.FieldCount(); ++i)
            fields.push_back(rs.Fields(i));
        for (; !rs.atEOF(); rs.MoveNext()) {
            std::vector<runtime::Variant> row;
            row.reserve(fields.size());
            for (const dao::Field& f : fields)
                row.push_back(f.Value());
            set.rows.push_back(std::move(row));
        }
        rs.Close();
    } catch (const dao::Error& e) {
        *status = status::TableMissing;
        *message = "The table " + table + " cannot be read from " + path + ": " + e.what();
    }
    db.Close();
    return set;
}

JobOutcome runReport(const JobRequest& r) {
    Template t;
    try {
        t = loadTemplate(r.templatePath);
    } catch (const TemplateError& e) {
        return templateFault(r.templatePath, e);
    }
    if (t.title.isEmpty()) t.title = QFileInfo(r.templatePath).completeBaseName();
    JobOutcome error;
    std::map<QString, QString> formulas;
    if (!applyFormulas(t, r.formulas, &formulas, &error)) return error;

    int code = status::Ok;
    QString message;
    RowSet rows = readTable(r.dataFile.isEmpty() ? t.database : r.dataFile, t.table, &code, &message);
    if (code != status::Ok) return failed(code, message);
    for (const QString& field : t.fieldNames())
        if (rows.index(field) < 0)
            return failed(status::FieldMissing, "The table " + t.table + " has no field " + field + ".");

    std::shared_ptr<Document> doc = layoutReport(t, rows, formulas);
    if (!validRange(r, int(doc->pages.size())))
        return failed(status::PageRangeInvalid, QString("The report has %1 pages.").arg(doc->pages.size()));
    if (QString e = firstBarcodeError(*doc); !e.isEmpty()) return failed(status::BarcodeInvalid, e);
    return output(r, doc);
}

} // namespace report
