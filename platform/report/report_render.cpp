#include "report_render.h"

#include "barcode.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

namespace report {
namespace {

QRectF scaled(const QRectF& r, double k) {
    return QRectF(r.x() * k, r.y() * k, r.width() * k, r.height() * k);
}

QFont fontOf(const Item& item, const Template& t, QPaintDevice* device) {
    QFont font(item.font.isEmpty() ? t.font : item.font, -1, item.bold ? QFont::Bold : QFont::Normal,
               item.italic);
    // Sizes are printer's points: the font is made for the painter's device, which turns points
    // into the device's dots itself.
    font = QFont(font, device);
    font.setPointSizeF(item.size > 0 ? item.size : t.fontSize);
    return font;
}

QString withPageNumbers(const QString& text, int page, int pages) {
    if (!text.contains('{')) return text;
    return QString(text).replace("{page}", QString::number(page)).replace("{pages}", QString::number(pages));
}

// The pages to output, 0-based and clamped; an empty range when `from` lies past the end.
std::pair<int, int> pageRange(const Document& doc, int from, int to) {
    int last = int(doc.pages.size()) - 1;
    int a = from > 0 ? from - 1 : 0;
    int b = to > 0 ? std::min(to - 1, last) : last;
    return {a, b};
}

// The part of the paper inside the template's margins, in points.
QRectF printableArea(const Document& doc) {
    const QSizeF paper = doc.layout.fullRectPoints().size();
    const QMarginsF& m = doc.definition.margins;
    return QRectF(m.left(), m.top(), paper.width() - m.left() - m.right(),
                  paper.height() - m.top() - m.bottom());
}

// Where an item puts ink, in device dots: a text's width where its alignment puts it (never more
// than its box), a line, box or barcode its whole box.
QRectF inkRect(const PlacedItem& p, const QString& text, const QFont& font, QPaintDevice* device, double k) {
    const QRectF box = scaled(p.rect, k).normalized();
    if (p.item->kind == ItemKind::Line || p.item->kind == ItemKind::Box || p.item->kind == ItemKind::Barcode)
        return box;
    if (text.isEmpty()) return {};
    const double width = std::min(QFontMetricsF(font, device).horizontalAdvance(text), box.width());
    double left = box.left();
    if (p.item->align & Qt::AlignRight)
        left = box.right() - width;
    else if (p.item->align & Qt::AlignHCenter)
        left = box.center().x() - width / 2;
    return QRectF(left, box.top(), width, box.height());
}

// A number too wide for its box. Shown in a smaller type the digits are still all there; cut at
// the box's edge, 52,808,763 would read as 2,808,763. So a number takes the free paper beside its
// box first (on the side its alignment lets it grow), then a smaller type down to this share of
// its size, and where even that does not hold it, a row of # marks the overflow.
constexpr double kSmallestType = 0.7;

struct FittedNumber {
    QRectF rect;
    QFont font;
    QString text;
};

template <typename InkOf>
FittedNumber fitNumber(const PlacedItem& p, const QString& text, double need, const QFont& font,
                       QPaintDevice* device, const QRectF& area, const Page& page, double k, InkOf inkOf) {
    const QRectF box = scaled(p.rect, k);
    if (need <= box.width()) return {box, font, text};

    // The free room on this line: up to the nearest ink left and right, a third of the type size
    // away from it, and inside the margins.
    const double gap = font.pointSizeF() / 3 * k;
    double left = std::min(area.left(), box.left()), right = std::max(area.right(), box.right());
    for (const PlacedItem& other : page.items) {
        if (&other == &p) continue;
        const QRectF ink = inkOf(other);
        if (ink.width() <= 0 && ink.height() <= 0) continue;
        if (ink.top() >= box.bottom() || ink.bottom() <= box.top()) continue;
        if (ink.right() <= box.left())
            left = std::max(left, ink.right() + gap);
        else if (ink.left() >= box.right())
            right = std::min(right, ink.left() - gap);
    }
    left = std::min(left, box.left());
    right = std::max(right, box.right());
    QRectF room = box;
    if (p.item->align & Qt::AlignRight)
        room.setLeft(left);
    else if (p.item->align & Qt::AlignHCenter)
        room = QRectF(left, box.top(), right - left, box.height());
    else
        room.setRight(right);
    if (need <= room.width()) {
        if (p.item->align & Qt::AlignHCenter) {
            // Centred on its own box as far as the room allows.
            const double x = std::clamp(box.center().x() - need / 2, room.left(), room.right() - need);
            return {QRectF(x, box.top(), need, box.height()), font, text};
        }
        return {room, font, text};
    }
    const double scale = room.width() / need;
    if (scale >= kSmallestType) {
        QFont smaller = font;
        smaller.setPointSizeF(font.pointSizeF() * scale * 0.98);
        return {room, smaller, text};
    }
    const int marks =
        std::max(1, int(box.width() / QFontMetricsF(font, device).horizontalAdvance(QChar('#'))));
    return {box, font, QString(marks, '#')};
}

// Draws the pages of one document on one painter. The pages repeat the same few items row after
// row, and a column's values repeat down the report (a customer, a date, Yes), so what is costly
// about a text is worked out once for the whole document rather than for every cell:
// - each font is made once, shared by the items printed in it, and set only when it changes:
//   setting a font drops the painter's resolved face, to be looked up again for the next text;
// - a text is measured (and, if too wide, shortened) once per item it is printed by.
class PagePainter {
public:
    PagePainter(QPainter& painter, const Document& doc, double k) : painter_(painter), doc_(doc), k_(k) {}

    void paint(int index) {
        const Page& page = doc_.pages.at(size_t(index));
        const int pages = int(doc_.pages.size());
        auto textOf = [&](const PlacedItem& p) { return withPageNumbers(p.text, index + 1, pages); };
        painter_.save();
        current_ = nullptr;
        black();
        for (const PlacedItem& p : page.items) {
            const Item& item = *p.item;
            QRectF r = scaled(p.rect, k_);
            switch (item.kind) {
            case ItemKind::Line:
                pen(QPen(Qt::black, item.penWidth * k_));
                painter_.drawLine(r.topLeft(), r.topLeft() + QPointF(r.width(), r.height()));
                break;
            case ItemKind::Box:
                pen(QPen(Qt::black, item.penWidth * k_));
                painter_.setBrush(Qt::NoBrush);
                painter_.drawRect(r);
                break;
            case ItemKind::Barcode: {
                QString error = paintBarcode(painter_, r, item.symbology, p.text, item.humanReadable);
                current_ = nullptr; // the barcode set a pen and a font of its own
                textPen_ = false;
                if (!error.isEmpty()) {
                    black();
                    useFont(item);
                    painter_.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, "[" + error + "]");
                }
                break;
            }
            default: {
                if (p.text.isEmpty()) break; // an empty field draws nothing
                black();
                useFont(item);
                const QString text = textOf(p);
                const int flags = int(item.align) | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
                if (!p.number) {
                    // A text wider than its box ends in an ellipsis, never in half a letter.
                    painter_.drawText(r, flags, elided(item, text, r.width()));
                    break;
                }
                auto inkOf = [&](const PlacedItem& other) {
                    return inkRect(other, textOf(other), fontFor(*other.item), painter_.device(), k_);
                };
                FittedNumber fit = fitNumber(p, text, width(item, text), painter_.font(), painter_.device(),
                                             scaled(printableArea(doc_), k_), page, k_, inkOf);
                if (fit.font != painter_.font()) {
                    painter_.setFont(fit.font);
                    current_ = nullptr;
                }
                painter_.drawText(fit.rect, flags, fit.text);
                break;
            }
            }
        }
        painter_.restore();
    }

private:
    struct ItemTexts {
        QFontMetricsF metrics; // in the item's font
        QHash<QString, double> widths;
        QHash<QString, QString> elided; // as printed in a box of the item's width
    };

    const QFont& fontFor(const Item& item) {
        auto found = fonts_.find(&item);
        if (found == fonts_.end()) {
            Face face{item.font.isEmpty() ? doc_.definition.font : item.font,
                      item.size > 0 ? item.size : doc_.definition.fontSize, item.bold, item.italic};
            auto made = faces_.find(face);
            if (made == faces_.end())
                made = faces_.emplace(face, fontOf(item, doc_.definition, painter_.device())).first;
            found = fonts_.emplace(&item, &made->second).first;
        }
        return *found->second;
    }

    void useFont(const Item& item) {
        const QFont& font = fontFor(item);
        if (current_ == &font) return;
        painter_.setFont(font);
        current_ = &font;
    }

    void black() {
        if (textPen_) return;
        painter_.setPen(Qt::black);
        textPen_ = true;
    }

    void pen(const QPen& pen) {
        painter_.setPen(pen);
        textPen_ = false;
    }

    // What is known of the texts of `item`, measured in the painter's font, which is the item's.
    ItemTexts& textsOf(const Item& item) {
        auto found = texts_.find(&item);
        if (found == texts_.end())
            found =
                texts_.emplace(&item, ItemTexts{QFontMetricsF(painter_.font(), painter_.device()), {}, {}})
                    .first;
        return found->second;
    }

    double width(const Item& item, const QString& text) {
        ItemTexts& t = textsOf(item);
        auto known = t.widths.constFind(text);
        if (known != t.widths.cend()) return *known;
        return *t.widths.insert(text, t.metrics.horizontalAdvance(text));
    }

    // The text as it fits a box `width` wide: whole, or shortened to end in an ellipsis.
    QString elided(const Item& item, const QString& text, double width) {
        ItemTexts& t = textsOf(item);
        auto known = t.elided.constFind(text);
        if (known != t.elided.cend()) return *known;
        return *t.elided.insert(text, t.metrics.elidedText(text, Qt::ElideRight, width));
    }

    using Face = std::tuple<QString, double, bool, bool>; // family, points, bold, italic
    QPainter& painter_;
    const Document& doc_;
    const double k_;
    std::map<Face, QFont> faces_;
    std::unordered_map<const Item*, const QFont*> fonts_;
    std::unordered_map<const Item*, ItemTexts> texts_;
    const QFont* current_ = nullptr;
    bool textPen_ = false;
};

} // namespace

void paintPage(QPainter& painter, const Document& doc, int index, double k) {
    PagePainter(painter, doc, k).paint(index);
}

bool writePdf(const Document& doc, const QString& path, int from, int to) {
    QPdfWriter writer(path);
    writer.setCreator("Dorvane");
    writer.setTitle(doc.title);
    writer.setPageLayout(doc.layout);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    const double k = writer.resolution() / 72.0;
    auto [a, b] = pageRange(doc, from, to);
    PagePainter pages(painter, doc, k);
    for (int i = a; i <= b; ++i) {
        if (i > a) writer.newPage();
        pages.paint(i);
    }
    return painter.end();
}

bool printDocument(const Document& doc, QPrinter& printer, int copies, int from, int to) {
    printer.setFullPage(true);
    printer.setDocName(doc.title); // the job's name in the printer's queue
    printer.setPageLayout(doc.layout);
    // A printer that makes its own copies gets the count; otherwise the pages are sent again.
    printer.setCopyCount(std::max(1, copies));
    const int rounds = printer.supportsMultipleCopies() ? 1 : std::max(1, copies);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const double k = printer.resolution() / 72.0;
    auto [a, b] = pageRange(doc, from, to);
    PagePainter pages(painter, doc, k);
    bool first = true;
    for (int round = 0; round < rounds; ++round)
        for (int i = a; i <= b; ++i) {
            if (!first) printer.newPage();
            first = false;
            pages.paint(i);
        }
    return painter.end();
}

} // namespace report
