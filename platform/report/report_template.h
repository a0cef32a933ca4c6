#pragma once
// A report template (.rpt): page set-up, the table of the reports database the rows come from,
// default formula values and the bands with their items. The text format is described in
// reports/README.md; this is its parsed form. Lengths are in points (1/72 inch).
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <map>
#include <stdexcept>
#include <vector>

namespace report {

enum class BandKind { ReportHeader, PageHeader, GroupHeader, Detail, GroupFooter, PageFooter, ReportFooter };
enum class ItemKind { Text, Field, Formula, Total, Line, Box, Barcode };
enum class Aggregate { Sum, Count, Min, Max, Average };
enum class TotalScope { Report, Page, Group };

struct Item {
    ItemKind kind = ItemKind::Text;
    QString text;    // the text, the field name or the formula name
    QRectF rect;     // within the band; for a line its start and (width, height) to its end
    QString font;    // "" = the template's font
    double size = 0; // 0 = the template's size
    bool bold = false, italic = false;
    Qt::Alignment align = Qt::AlignLeft;
    QString format; // fields and totals: date, longdate, yesno, or a number pattern such as #,##0.00
    Aggregate aggregate = Aggregate::Sum;
    TotalScope scope = TotalScope::Report;
    QString symbology; // barcodes: code128, code39, ...
    bool humanReadable = true;
    double penWidth = 0.5;
};

struct Band {
    BandKind kind = BandKind::Detail;
    double height = 0;
    QString groupField; // group bands: the field whose change starts a new group
    std::vector<Item> items;
};

struct Template {
    QString database; // the reports database (a Windows-style path is resolved by the data layer)
    QString table;
    QString title; // the report's name; {Formula} is replaced by the formula's value
    QPageSize pageSize{QPageSize::Letter};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{36, 36, 36, 36};
    QString font = "DejaVu Sans";
    double fontSize = 9;
    // Label sheets: detail cells side by side (`across`), with gaps between cells.
    int across = 1;
    double acrossGap = 0, downGap = 0;
    std::map<QString, QString> formulas; // default values by name
    std::vector<Band> bands;

    const Band* band(BandKind kind) const;
    std::vector<const Band*> groupBands(BandKind kind) const; // outermost first
    QStringList fieldNames() const;                           // every field an item or group names
};

// A template that cannot be read: the line (1-based, 0 for the whole file) and what is wrong.
struct TemplateError : std::runtime_error {
    TemplateError(int line, const QString& message)
        : std::runtime_error(QString("line %1: %2").arg(line).arg(message).toStdString()), line(line),
          reason(message) {}
    int line;
    QString reason; // what is wrong, without the line
};

Template parseTemplate(const QString& text);
Template loadTemplate(const QString& path); // TemplateError(0, ...) when the file cannot be read

// A length such as "0.5in", "12mm", "10pt" or "10" (points).
double parseLength(const QString& text, bool* ok = nullptr);

} // namespace report
