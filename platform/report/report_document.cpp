#include "report_document.h"

#include "runtime/clock.h"
#include "runtime/locale_text.h"

#include <QLocale>

#include <memory>
#include <optional>
#include <unordered_map>

namespace report {
namespace {

struct Stats {
    long count = 0;
    double sum = 0;
    std::optional<double> min, max;
    void add(const runtime::Variant& v) {
        if (v.isNull() || v.isEmpty()) return;
        ++count;
        if (!v.isNumeric()) return;
        double d = v.toDouble();
        sum += d;
        min = min ? std::min(*min, d) : d;
        max = max ? std::max(*max, d) : d;
    }
};

// Running totals of one scope (the report, a page, a group), by field ("" counts rows).
struct Totals {
    std::map<QString, Stats> byField;
    long rows = 0;
    double value(const Item& item) const {
        if (item.aggregate == Aggregate::Count && item.text.isEmpty()) return rows;
        auto it = byField.find(item.text.toLower());
        if (it == byField.end()) return 0;
        const Stats& s = it->second;
        switch (item.aggregate) {
        case Aggregate::Sum:
            return s.sum;
        case Aggregate::Count:
            return s.count;
        case Aggregate::Min:
            return s.min.value_or(0);
        case Aggregate::Max:
            return s.max.value_or(0);
        case Aggregate::Average:
            return s.count ? s.sum / s.count : 0;
        }
        return 0;
    }
};

class Layouter {
public:
    Layouter(std::shared_ptr<Document> doc, const RowSet& rows, const std::map<QString, QString>& formulas)
        : doc_(std::move(doc)), t_(doc_->definition), rows_(rows), formulas_(formulas) {
        QSizeF paper = t_.pageSize.size(QPageSize::Point);
        if (t_.orientation == QPageLayout::Landscape) paper.transpose();
        left_ = t_.margins.left();
        width_ = paper.width() - t_.margins.left() - t_.margins.right();
        top_ = t_.margins.top();
        const Band* footer = t_.band(BandKind::PageFooter);
        footerTop_ = paper.height() - t_.margins.bottom() - (footer ? footer->height : 0);
        groupHeaders_ = t_.groupBands(BandKind::GroupHeader);
        groupFooters_ = t_.groupBands(BandKind::GroupFooter);
        groups_.resize(groupHeaders_.size());
        for (const Band& b : t_.bands)
            for (const Item& i : b.items) {
                if (i.kind == ItemKind::Total && !i.text.isEmpty()) {
                    int f = rows_.index(i.text);
                    if (f >= 0) totalFields_[i.text.toLower()] = f;
                }
                // A field's column is found once, not by name for every row it prints.
                if (i.kind == ItemKind::Field || i.kind == ItemKind::Barcode)
                    columns_[&i] = rows_.index(i.text);
            }
        printDate_ = QString::fromStdString(runtime::shortDateText(runtime::Today()));
    }

    void run() {
        newPage();
        const std::vector<const Row*> order = groupedOrder();
        const Row* first = order.empty() ? nullptr : order.front();
        if (const Band* b = t_.band(BandKind::ReportHeader)) place(*b, first);
        const Row* previous = nullptr;
        for (const Row* row : order) {
            size_t changed = previous ? firstChangedGroup(*previous, *row) : 0;
            if (previous) closeGroups(changed, *previous);
            openGroups(changed, *row);
            detail(*row);
            count(*row);
            previous = row;
        }
        if (previous) closeGroups(0, *previous);
        endAcross();
        if (const Band* b = t_.band(BandKind::ReportFooter)) place(*b, previous);
        finishPage();
    }

private:
    using Row = std::vector<runtime::Variant>;

    runtime::Variant fieldOf(const Row* row, const QString& name) const {
        int f = row ? rows_.index(name) : -1;
        return f >= 0 ? (*row)[f] : runtime::Variant::null();
    }

    // The value a field item prints from `row`; null without a row or where the table lacks the field.
    const runtime::Variant* valueOf(const Item& item, const Row* row) const {
        auto found = columns_.find(&item);
        if (!row || found == columns_.end() || found->second < 0) return nullptr;
        return &(*row)[size_t(found->second)];
    }

    // The rows in the order they print: the table's order, except that the rows of one group are
    // gathered where the group first appears. A group is then printed once with its whole total,
    // whatever order the query that filled the table chose (orders by date interleave the groups).
    std::vector<const Row*> groupedOrder() const {
        std::vector<const Row*> order;
        for (const Row& row : rows_.rows)
            order.push_back(&row);
        if (groupHeaders_.empty()) return order;
        std::map<QString, size_t> firstSeen; // a group's values (outer to inner) -> its first row
        std::map<const Row*, std::vector<size_t>> rank;
        for (size_t i = 0; i < order.size(); ++i) {
            QString prefix;
            for (const Band* g : groupHeaders_) {
                prefix += groupKey(fieldOf(order[i], g->groupField)) + QChar(0x1f);
                rank[order[i]].push_back(firstSeen.try_emplace(prefix, i).first->second);
            }
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](const Row* a, const Row* b) { return rank[a] < rank[b]; });
        return order;
    }

    static QString groupKey(const runtime::Variant& v) {
        if (v.isNull() || v.isEmpty()) return "-";
        return QString::number(int(v.type())) + ':' + QString::fromStdString(v.toString());
    }

    size_t firstChangedGroup(const Row& a, const Row& b) const {
        for (size_t g = 0; g < groupHeaders_.size(); ++g) {
            const QString& field = groupHeaders_[g]->groupField;
            if (!(fieldOf(&a, field) == fieldOf(&b, field))) return g;
        }
        return groupHeaders_.size();
    }

    void openGroups(size_t from, const Row& row) {
        for (size_t g = from; g < groupHeaders_.size(); ++g) {
            groups_[g] = Totals{};
            currentGroup_ = int(g);
            place(*groupHeaders_[g], &row);
        }
    }

    // Footers close innermost first; a footer belongs to the group header of the same field.
    void closeGroups(size_t from, const Row& last) {
        for (size_t g = groupHeaders_.size(); g-- > from;) {
            currentGroup_ = int(g);
            for (const Band* f : groupFooters_)
                if (f->groupField.compare(groupHeaders_[g]->groupField, Qt::CaseInsensitive) == 0)
                    place(*f, &last);
        }
    }

    void count(const Row& row) {
        auto add = [&](Totals& t) {
            ++t.rows;
            for (const auto& [name, index] : totalFields_)
                t.byField[name].add(row[index]);
        };
        add(report_);
        add(page_);
        for (Totals& g : groups_)
            add(g);
    }

    void newPage() {
        doc_->pages.emplace_back();
        y_ = top_;
        page_ = Totals{};
        if (const Band* b = t_.band(BandKind::PageHeader)) {
            putItems(*b, nullptr, left_, y_);
            y_ += b->height;
        }
    }

    void finishPage() {
        if (const Band* b = t_.band(BandKind::PageFooter)) putItems(*b, nullptr, left_, footerTop_);
    }

    // Starts a new page when a band of `height` does not fit on this one any more. A band taller
    // than a whole page is placed anyway rather than looping on empty pages.
    void room(double height) {
        if (y_ + height <= footerTop_ + 0.01 || y_ <= top_ + pageHeaderHeight() + 0.01) return;
        finishPage();
        newPage();
    }

    double pageHeaderHeight() const {
        const Band* b = t_.band(BandKind::PageHeader);
        return b ? b->height : 0;
    }

    void place(const Band& band, const Row* row) {
        endAcross();
        room(band.height);
        putItems(band, row, left_, y_);
        y_ += band.height;
    }

    // Detail cells fill a row of `across` cells (label sheets) before moving down.
    void detail(const Row& row) {
        const Band* band = t_.band(BandKind::Detail);
        if (!band) return;
        if (column_ == 0) room(band->height);
        double cell = (width_ - (t_.across - 1) * t_.acrossGap) / t_.across;
        putItems(*band, &row, left_ + column_ * (cell + t_.acrossGap), y_);
        if (++column_ == t_.across) {
            column_ = 0;
            y_ += band->height + t_.downGap;
        }
    }

    void endAcross() {
        if (column_ == 0) return;
        column_ = 0;
        y_ += t_.band(BandKind::Detail)->height + t_.downGap;
    }

    const Totals& totalsFor(const Item& item, const Band& band) const {
        bool inGroup = band.kind == BandKind::GroupHeader || band.kind == BandKind::GroupFooter;
        if (item.scope == TotalScope::Page) return page_;
        if (item.scope == TotalScope::Group && inGroup && currentGroup_ >= 0) return groups_[currentGroup_];
        return report_;
    }

    // Numbers are fitted into their box rather than shortened like a text (see report_render).
    bool printsNumber(const Item& item, const Row* row) const {
        if (item.kind == ItemKind::Total) return true;
        if (item.kind != ItemKind::Field) return false;
        const runtime::Variant* v = valueOf(item, row);
        return v && v->isNumeric() && v->type() != runtime::VarType::Boolean;
    }

    QString textOf(const Item& item, const Band& band, const Row* row) const {
        switch (item.kind) {
        case ItemKind::Text:
            return QString(item.text).replace("{printdate}", printDate_);
        case ItemKind::Field:
        case ItemKind::Barcode: {
            const runtime::Variant* v = valueOf(item, row);
            return v ? formatValue(*v, item.format) : QString();
        }
        case ItemKind::Formula: {
            auto it = formulas_.find(item.text);
            return it == formulas_.end() ? QString() : it->second;
        }
        case ItemKind::Total: {
            double v = totalsFor(item, band).value(item);
            QString format = item.format.isEmpty() && item.aggregate == Aggregate::Count ? "0" : item.format;
            return formatValue(runtime::Variant(v), format);
        }
        default:
            return {};
        }
    }

    void putItems(const Band& band, const Row* row, double x, double y) {
        Page& page = doc_->pages.back();
        for (const Item& item : band.items)
            page.items.push_back(
                {&item, item.rect.translated(x, y), textOf(item, band, row), printsNumber(item, row)});
    }

    std::shared_ptr<Document> doc_;
    const Template& t_;
    const RowSet& rows_;
    const std::map<QString, QString>& formulas_;
    std::vector<const Band*> groupHeaders_, groupFooters_;
    std::map<QString, int> totalFields_;
    std::unordered_map<const Item*, int> columns_;
    Totals report_, page_;
    std::vector<Totals> groups_;
    int currentGroup_ = -1;
    double left_ = 0, width_ = 0, top_ = 0, footerTop_ = 0, y_ = 0;
    int column_ = 0;
    QString printDate_;
};

QString numberPattern(double v, const QString& format) {
    int dot = format.indexOf('.');
    int decimals = dot < 0 ? 0 : int(format.size() - dot - 1);
    static const QLocale grouped(QLocale::English, QLocale::UnitedStates);
    static const QLocale plain = [] {
        QLocale l(QLocale::English, QLocale::UnitedStates);
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    return (format.contains(',') ? grouped : plain).toString(v, 'f', decimals);
}

} // namespace

int RowSet::index(const QString& name) const {
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString formatValue(const runtime::Variant& value, const QString& format) {
    if (value.isNull() || value.isEmpty()) return {};
    // Compared in place: a report formats every field of every row.
    auto is = [&](const char* name) { return format.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    const bool shortDate = is("date");
    if (shortDate || is("longdate")) {
        if (!value.isDate()) return QString::fromStdString(value.toString());
        runtime::Date d = value.toDate();
        return QString::fromStdString(shortDate ? runtime::shortDateText(d) : runtime::longDateText(d));
    }
    if (is("yesno")) {
        if (value.type() == runtime::VarType::String) return QString::fromStdString(value.toString());
        return value.toBool() ? "Yes" : "No";
    }
    if (!format.isEmpty() && (format.startsWith('#') || format.startsWith('0')) && value.isNumeric() &&
        value.type() != runtime::VarType::Boolean)
        return numberPattern(value.toDouble(), format);
    return QString::fromStdString(value.toString());
}

std::shared_ptr<Document> layoutReport(const Template& definition, const RowSet& rows,
                                       const std::map<QString, QString>& formulas) {
    auto doc = std::make_shared<Document>();
    doc->definition = definition;
    doc->layout = QPageLayout(definition.pageSize, definition.orientation, QMarginsF(0, 0, 0, 0));
    doc->title = definition.title;
    for (const auto& [name, value] : formulas)
        doc->title.replace("{" + name + "}", value);
    doc->title = doc->title.simplified();
    Layouter(doc, rows, formulas).run();
    return doc;
}

} // namespace report
