#pragma once
// A report laid out: the template's bands placed on pages for a set of rows. Items keep their
// template definition; texts are final except the page placeholders {page} and {pages}, which
// are filled in when a page is drawn (the page count is known only at the end).
#include "report_template.h"

#include "runtime/variant.h"

#include <QPageLayout>

#include <map>
#include <vector>

namespace report {

// The rows a report prints, read completely before the report is laid out.
struct RowSet {
    QStringList names;
    std::vector<std::vector<runtime::Variant>> rows;
    int index(const QString& name) const; // case-insensitive; -1 when missing
};

struct PlacedItem {
    const Item* item = nullptr;
    QRectF rect; // on the page, in points from the paper's corner
    QString text;
    bool number = false; // a numeric value: fitted into its box, never shortened
};

struct Page {
    std::vector<PlacedItem> items;
};

struct Document {
    Template definition; // the items of the pages point into this copy
    QPageLayout layout;  // paper size and orientation; the template's margins are in the positions
    QString title;       // what the report is called: PDF title, print job name, file name offered
    std::vector<Page> pages;
};

// Lays the rows out. `formulas` are the formula values to print, by name.
// The document must stay where it is made: pass it on by pointer or move the whole shared_ptr.
std::shared_ptr<Document> layoutReport(const Template& definition, const RowSet& rows,
                                       const std::map<QString, QString>& formulas);

// A value as a report field prints it under `format` (see reports/README.md).
QString formatValue(const runtime::Variant& value, const QString& format);

} // namespace report
