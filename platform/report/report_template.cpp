#include "report_template.h"

#include <QFile>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace report {
namespace {

// Splits a line into words; double quotes group blanks into a word ("" inside them is one quote).
QStringList words(const QString& line, int lineNo) {
    QStringList out;
    QString word;
    bool quoted = false, any = false;
    for (int i = 0; i < line.size(); ++i) {
        QChar c = line[i];
        if (quoted) {
            if (c != '"') {
                word += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                word += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = any = true;
        } else if (c.isSpace()) {
            if (any) out << word;
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (quoted) throw TemplateError(lineNo, "a quote is not closed");
    if (any) out << word;
    return out;
}

double length(const QString& text, int lineNo) {
    bool ok = false;
    double v = parseLength(text, &ok);
    if (!ok) throw TemplateError(lineNo, "\"" + text + "\" is not a length");
    return v;
}

bool yes(const QString& v) {
    return v.compare("yes", Qt::CaseInsensitive) == 0 || v.compare("true", Qt::CaseInsensitive) == 0 ||
           v == "1";
}

QPageSize pageSizeNamed(const QString& name, int lineNo) {
    static const std::map<QString, QPageSize::PageSizeId> sizes = {
        {"letter", QPageSize::Letter}, {"legal", QPageSize::Legal}, {"a4", QPageSize::A4},
        {"a5", QPageSize::A5},         {"a6", QPageSize::A6},       {"executive", QPageSize::Executive}};
    auto it = sizes.find(name.toLower());
    if (it != sizes.end()) return QPageSize(it->second);
    // A custom size: WIDTHxHEIGHT, as label stock is sold.
    QStringList wh = name.split('x');
    if (wh.size() == 2) {
        const QSizeF size(length(wh[0], lineNo), length(wh[1], lineNo));
        if (size.width() <= 0 || size.height() <= 0)
            throw TemplateError(lineNo, "a page of \"" + name + "\" has no area");
        // A PDF page, and so any page we print, is at most 200 inches a side.
        constexpr double kLongestSide = 200 * 72.0;
        if (size.width() > kLongestSide || size.height() > kLongestSide)
            throw TemplateError(lineNo, "a page of \"" + name + "\" is longer than 200in a side");
        return QPageSize(size, QPageSize::Point, QString(), QPageSize::ExactMatch);
    }
    throw TemplateError(lineNo, "unknown page size \"" + name + "\"");
}

void setReportKey(Template& t, const QString& key, const QStringList& v, int lineNo) {
    if (v.isEmpty()) throw TemplateError(lineNo, key + " needs a value");
    if (key == "database") {
        t.database = v.join(' ');
    } else if (key == "table") {
        t.table = v.join(' ');
    } else if (key == "title") {
        t.title = v.join(' ');
    } else if (key == "page") {
        t.pageSize = pageSizeNamed(v[0], lineNo);
        if (v.size() > 1)
            t.orientation = v[1].toLower() == "landscape" ? QPageLayout::Landscape : QPageLayout::Portrait;
    } else if (key == "orientation") {
        t.orientation = v[0].toLower() == "landscape" ? QPageLayout::Landscape : QPageLayout::Portrait;
    } else if (key == "margins") {
        if (v.size() == 1) {
            double m = length(v[0], lineNo);
            t.margins = QMarginsF(m, m, m, m);
        } else if (v.size() == 4) {
            t.margins = QMarginsF(length(v[0], lineNo), length(v[1], lineNo), length(v[2], lineNo),
                                  length(v[3], lineNo));
        } else {
            throw TemplateError(lineNo, "margins takes one length or four (left top right bottom)");
        }
    } else if (key == "font") {
        t.font = v[0];
        if (v.size() > 1) t.fontSize = length(v[1], lineNo);
    } else if (key == "across") {
        t.across = std::max(1, v[0].toInt());
    } else if (key == "across-gap") {
        t.acrossGap = length(v[0], lineNo);
    } else if (key == "down-gap") {
        t.downGap = length(v[0], lineNo);
    } else {
        throw TemplateError(lineNo, "unknown setting \"" + key + "\"");
    }
}

Band bandHeader(const QStringList& w, int lineNo) {
    static const std::map<QString, BandKind> kinds = {
        {"report-header", BandKind::ReportHeader}, {"page-header", BandKind::PageHeader},
        {"group-header", BandKind::GroupHeader},   {"detail", BandKind::Detail},
        {"group-footer", BandKind::GroupFooter},   {"page-footer", BandKind::PageFooter},
        {"report-footer", BandKind::ReportFooter}};
    auto it = kinds.find(w.value(0).toLower());
    if (it == kinds.end()) throw TemplateError(lineNo, "unknown section [" + w.join(' ') + "]");
    Band b;
    b.kind = it->second;
    bool group = b.kind == BandKind::GroupHeader || b.kind == BandKind::GroupFooter;
    if (w.size() != (group ? 3 : 2))
        throw TemplateError(lineNo, group ? "a group band is [" + w[0] + " FIELD HEIGHT]"
                                          : "a band is [" + w[0] + " HEIGHT]");
    if (group) b.groupField = w[1];
    b.height = length(w.last(), lineNo);
    return b;
}

void setItemKey(Item& item, const QString& key, const QString& value, int lineNo) {
    if (key == "x")
        item.rect.moveLeft(length(value, lineNo));
    else if (key == "y")
        item.rect.moveTop(length(value, lineNo));
    else if (key == "w")
        item.rect.setWidth(length(value, lineNo));
    else if (key == "h")
        item.rect.setHeight(length(value, lineNo));
    else if (key == "size")
        item.size = length(value, lineNo);
    else if (key == "font")
        item.font = value;
    else if (key == "format")
        item.format = value;
    else if (key == "pen")
        item.penWidth = length(value, lineNo);
    else if (key == "text")
        item.humanReadable = yes(value);
    else if (key == "align") {
        QString a = value.toLower();
        if (a == "left")
            item.align = Qt::AlignLeft;
        else if (a == "center")
            item.align = Qt::AlignHCenter;
        else if (a == "right")
            item.align = Qt::AlignRight;
        else
            throw TemplateError(lineNo, "align is left, center or right");
    } else if (key == "scope") {
        QString s = value.toLower();
        if (s == "report")
            item.scope = TotalScope::Report;
        else if (s == "page")
            item.scope = TotalScope::Page;
        else if (s == "group")
            item.scope = TotalScope::Group;
        else
            throw TemplateError(lineNo, "scope is report, page or group");
    } else {
        throw TemplateError(lineNo, "unknown item setting \"" + key + "\"");
    }
}

Item parseItem(const QStringList& w, int lineNo) {
    static const std::map<QString, ItemKind> kinds = {
        {"text", ItemKind::Text},      {"field", ItemKind::Field}, {"formula", ItemKind::Formula},
        {"total", ItemKind::Total},    {"line", ItemKind::Line},   {"box", ItemKind::Box},
        {"barcode", ItemKind::Barcode}};
    auto it = kinds.find(w[0].toLower());
    if (it == kinds.end()) throw TemplateError(lineNo, "unknown item \"" + w[0] + "\"");
    Item item;
    item.kind = it->second;
    int i = 1;
    auto positional = [&](const char* what) {
        if (i >= w.size() || w[i].contains('=')) throw TemplateError(lineNo, w[0] + " needs " + what);
        return w[i++];
    };
    switch (item.kind) {
    case ItemKind::Text:
        item.text = positional("its text");
        break;
    case ItemKind::Field:
        item.text = positional("a field name");
        break;
    case ItemKind::Formula:
        item.text = positional("a formula name");
        break;
    case ItemKind::Barcode:
        item.symbology = positional("a symbology").toLower();
        item.text = positional("a field name");
        break;
    case ItemKind::Total: {
        static const std::map<QString, Aggregate> aggregates = {{"sum", Aggregate::Sum},
                                                                {"count", Aggregate::Count},
                                                                {"min", Aggregate::Min},
                                                                {"max", Aggregate::Max},
                                                                {"average", Aggregate::Average}};
        auto a = aggregates.find(positional("sum, count, min, max or average").toLower());
        if (a == aggregates.end()) throw TemplateError(lineNo, "a total is sum, count, min, max or average");
        item.aggregate = a->second;
        if (item.aggregate != Aggregate::Count || (i < w.size() && !w[i].contains('=')))
            item.text = positional("a field name");
        break;
    }
    default:
        break;
    }
    item.rect = QRectF(0, 0, 0, 0);
    for (; i < w.size(); ++i) {
        int eq = w[i].indexOf('=');
        if (eq < 0) {
            QString flag = w[i].toLower();
            if (flag == "bold")
                item.bold = true;
            else if (flag == "italic")
                item.italic = true;
            else
                throw TemplateError(lineNo, "\"" + w[i] + "\" is not a setting (KEY=VALUE, bold, italic)");
        } else {
            setItemKey(item, w[i].left(eq).toLower(), w[i].mid(eq + 1), lineNo);
        }
    }
    return item;
}

} // namespace

double parseLength(const QString& text, bool* ok) {
    static const std::pair<const char*, double> units[] = {
        {"in", 72.0}, {"mm", 72.0 / 25.4}, {"cm", 72.0 / 2.54}, {"pt", 1.0}};
    QString t = text.trimmed().toLower();
    double factor = 1.0;
    for (auto [suffix, f] : units)
        if (t.endsWith(suffix)) {
            t.chop(2);
            factor = f;
            break;
        }
    bool good = false;
    const double v = t.toDouble(&good) * factor;
    // "nan", "inf" and "1e308in" read as numbers, but no page can be laid out with them.
    good = good && std::isfinite(v);
    if (ok) *ok = good;
    return good ? v : 0;
}

const Band* Template::band(BandKind kind) const {
    for (const Band& b : bands)
        if (b.kind == kind) return &b;
    return nullptr;
}

std::vector<const Band*> Template::groupBands(BandKind kind) const {
    std::vector<const Band*> out;
    for (const Band& b : bands)
        if (b.kind == kind) out.push_back(&b);
    return out;
}

QStringList Template::fieldNames() const {
    QStringList names;
    QSet<QString> seen;
    auto add = [&](const QString& n) {
        if (!n.isEmpty() && !seen.contains(n.toLower())) {
            seen.insert(n.toLower());
            names << n;
        }
    };
    for (const Band& b : bands) {
        add(b.groupField);
        for (const Item& i : b.items)
            if (i.kind == ItemKind::Field || i.kind == ItemKind::Barcode || i.kind == ItemKind::Total)
                add(i.text);
    }
    return names;
}

Template parseTemplate(const QString& text) {
    Template t;
    enum class Section { None, Report, Formulas, Band } section = Section::None;
    const QStringList lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const int lineNo = n + 1;
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']')) throw TemplateError(lineNo, "a section line ends with ]");
            QStringList w = words(line.mid(1, line.size() - 2), lineNo);
            if (w.isEmpty()) throw TemplateError(lineNo, "an empty section name");
            if (w[0] == "report" && w.size() == 1) {
                section = Section::Report;
            } else if (w[0] == "formulas" && w.size() == 1) {
                section = Section::Formulas;
            } else {
                t.bands.push_back(bandHeader(w, lineNo));
                section = Section::Band;
            }
            continue;
        }
        if (section == Section::Report || section == Section::Formulas) {
            int eq = line.indexOf('=');
            if (eq <= 0) throw TemplateError(lineNo, "expected NAME = VALUE");
            QString key = line.left(eq).trimmed();
            QString value = line.mid(eq + 1).trimmed();
            if (section == Section::Formulas)
                t.formulas[key] = value;
            else
                setReportKey(t, key.toLower(), words(value, lineNo), lineNo);
        } else if (section == Section::Band) {
            t.bands.back().items.push_back(parseItem(words(line, lineNo), lineNo));
        } else {
            throw TemplateError(lineNo, "text before the first section");
        }
    }
    if (t.table.isEmpty()) throw TemplateError(0, "the template names no table ([report] table = ...)");
    for (const Band& b : t.bands)
        if (b.height <= 0) throw TemplateError(0, "a band has no height");
    return t;
}

Template loadTemplate(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw TemplateError(0, "cannot read " + path);
    return parseTemplate(QString::fromUtf8(file.readAll()));
}

} // namespace report
