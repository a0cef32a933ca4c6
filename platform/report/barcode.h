#pragma once
// Barcodes drawn from zint's vector output, so they stay sharp at any printer resolution.
#include <QRectF>
#include <QString>

class QPainter;

namespace report {

// zint's number for a symbology name of the templates (code128, code39, ean13, upca, itf14,
// qrcode, datamatrix, pdf417); 0 when the name is unknown.
int symbologyNamed(const QString& name);

// Draws `data` as a barcode filling `target` (device coordinates). Returns "" on success, or
// zint's reason why the data cannot be encoded (nothing is drawn then).
QString paintBarcode(QPainter& painter, const QRectF& target, const QString& symbology, const QString& data,
                     bool humanReadable);

// Whether `data` can be encoded: "" or zint's reason.
QString barcodeError(const QString& symbology, const QString& data);

} // namespace report
