#include "report_render.h"

#include "barcode.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

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

} // namespace

void paintPage(QPainter& painter, const Document& doc, int index, double k) {
    const Page& page = doc.pages.at(size_t(index));
    const int pages = int(doc.pages.size());
    // A page repeats the same few items row after row: each item's font is made once, and set only
    // when it changes, which is most of the cost of a page of small texts.
    std::unordered_map<const Item*, QFont> fonts;
    const Item* fontItem = nullptr;
    auto useFont = [&](const Item& item) {
        if (fontItem == &item) return;
        auto found = fonts.find(&item);
        if (found == fonts.end())
            found = fonts.emplace(&item, fontOf(item, doc.definition, painter.device())).first;
        painter.setFont(found->second);
        fontItem = &item;
    };
    painter.save();
    painter.setPen(Qt::black);
    for (const PlacedItem& p : page.items) {
        const Item& item = *p.item;
        QRectF r = scaled(p.rect, k);
        switch (item.kind) {
        case ItemKind::Line:
            painter.setPen(QPen(Qt::black, item.penWidth * k));
            painter.drawLine(r.topLeft(), r.topLeft() + QPointF(r.width(), r.height()));
            break;
        case ItemKind::Box:
            painter.setPen(QPen(Qt::black, item.penWidth * k));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r);
            break;
        case ItemKind::Barcode: {
            QString error = paintBarcode(painter, r, item.symbology, p.text, item.humanReadable);
            fontItem = nullptr; // the barcode's human-readable line set a font of its own
            if (!error.isEmpty()) {
                painter.setPen(Qt::black);
                useFont(item);
                painter.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, "[" + error + "]");
            }
            break;
        }
        default:
            if (p.text.isEmpty()) break; // an empty field draws nothing
            painter.setPen(Qt::black);
            useFont(item);
            // A text wider than its box is cut at the box, as a report field is.
            painter.drawText(r, int(item.align) | Qt::AlignVCenter | Qt::TextSingleLine,
                             withPageNumbers(p.text, index + 1, pages));
            break;
        }
    }
    painter.restore();
}

bool writePdf(const Document& doc, const QString& path, int from, int to) {
    QPdfWriter writer(path);
    writer.setCreator("Dorvane");
    writer.setPageLayout(doc.layout);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    const double k = writer.resolution() / 72.0;
    auto [a, b] = pageRange(doc, from, to);
    for (int i = a; i <= b; ++i) {
        if (i > a) writer.newPage();
        paintPage(painter, doc, i, k);
    }
    return painter.end();
}

bool printDocument(const Document& doc, QPrinter& printer, int copies, int from, int to) {
    printer.setFullPage(true);
    printer.setPageLayout(doc.layout);
    // A printer that makes its own copies gets the count; otherwise the pages are sent again.
    printer.setCopyCount(std::max(1, copies));
    const int rounds = printer.supportsMultipleCopies() ? 1 : std::max(1, copies);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const double k = printer.resolution() / 72.0;
    auto [a, b] = pageRange(doc, from, to);
    bool first = true;
    for (int round = 0; round < rounds; ++round)
        for (int i = a; i <= b; ++i) {
            if (!first) printer.newPage();
            first = false;
            paintPage(painter, doc, i, k);
        }
    return painter.end();
}

} // namespace report
