#include "barcode.h"

#include <QFont>
#include <QPainter>
#include <zint.h>

#include <cmath>
#include <map>
#include <memory>

namespace report {
namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
using Symbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

// Encodes into a vector symbol; empty with `error` set when zint refuses the data.
Symbol encode(const QString& symbology, const QString& data, bool humanReadable, QString* error) {
    int type = symbologyNamed(symbology);
    if (type == 0) {
        *error = "unknown barcode symbology \"" + symbology + "\"";
        return nullptr;
    }
    if (data.isEmpty()) {
        *error = "no data to encode";
        return nullptr;
    }
    Symbol s(ZBarcode_Create());
    s->symbology = type;
    s->show_hrt = humanReadable ? 1 : 0;
    s->input_mode = UNICODE_MODE;
    QByteArray bytes = data.toUtf8();
    int rc = ZBarcode_Encode_and_Buffer_Vector(
        s.get(), reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()), 0);
    if (rc >= ZINT_ERROR) {
        *error = QString::fromLatin1(s->errtxt);
        return nullptr;
    }
    return s;
}

} // namespace

int symbologyNamed(const QString& name) {
    static const std::map<QString, int> names = {{"code128", BARCODE_CODE128},
                                                 {"code39", BARCODE_CODE39},
                                                 {"ean13", BARCODE_EANX},
                                                 {"upca", BARCODE_UPCA},
                                                 {"itf14", BARCODE_ITF14},
                                                 {"qrcode", BARCODE_QRCODE},
                                                 {"datamatrix", BARCODE_DATAMATRIX},
                                                 {"pdf417", BARCODE_PDF417},
                                                 {"gs1-128", BARCODE_GS1_128}};
    auto it = names.find(name.toLower());
    return it == names.end() ? 0 : it->second;
}

QString barcodeError(const QString& symbology, const QString& data) {
    QString error;
    encode(symbology, data, false, &error);
    return error;
}

QString paintBarcode(QPainter& painter, const QRectF& target, const QString& symbology, const QString& data,
                     bool humanReadable) {
    QString error;
    Symbol s = encode(symbology, data, humanReadable, &error);
    if (!s) return error;
    const zint_vector* v = s->vector;
    if (!v || v->width <= 0 || v->height <= 0) return "zint made no picture";
    // Bars stretch with the item: a linear code stays readable when every module widens alike.
    const double sx = target.width() / v->width, sy = target.height() / v->height;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (const zint_vector_rect* r = v->rectangles; r; r = r->next)
        painter.drawRect(
            QRectF(target.left() + r->x * sx, target.top() + r->y * sy, r->width * sx, r->height * sy));
    for (const zint_vector_hexagon* h = v->hexagons; h; h = h->next) {
        QPolygonF hex;
        for (int k = 0; k < 6; ++k) {
            double a = (30.0 + 60.0 * k + h->rotation) * M_PI / 180.0;
            hex << QPointF(target.left() + (h->x + h->diameter / 2 * std::cos(a)) * sx,
                           target.top() + (h->y + h->diameter / 2 * std::sin(a)) * sy);
        }
        painter.drawPolygon(hex);
    }
    for (const zint_vector_circle* c = v->circles; c; c = c->next) {
        painter.setBrush(c->colour ? Qt::white : Qt::black);
        painter.drawEllipse(QPointF(target.left() + c->x * sx, target.top() + c->y * sy),
                            c->diameter / 2 * sx, c->diameter / 2 * sy);
    }
    painter.setPen(Qt::black);
    for (const zint_vector_string* t = v->strings; t; t = t->next) {
        QFont font("DejaVu Sans Mono");
        font.setPixelSize(std::max(1, int(t->fsize * sy)));
        painter.setFont(font);
        QString text = QString::fromUtf8(reinterpret_cast<const char*>(t->text));
        double w = std::max(t->width * sx, double(painter.fontMetrics().horizontalAdvance(text)));
        // zint's x is where the text is anchored by its alignment, its y the baseline.
        const double x = target.left() + t->x * sx, h = t->fsize * sy;
        const double boxLeft = t->halign == 1 ? x : t->halign == 2 ? x - w : x - w / 2;
        QRectF box(boxLeft, target.top() + t->y * sy - h, w, h * 1.3);
        int align = t->halign == 1 ? Qt::AlignLeft : t->halign == 2 ? Qt::AlignRight : Qt::AlignHCenter;
        painter.drawText(box, align | Qt::AlignTop, text);
    }
    painter.restore();
    return {};
}

} // namespace report
