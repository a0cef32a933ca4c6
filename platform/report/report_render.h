#pragma once
// Drawing a laid-out report: a page onto any painter, and the whole document to a PDF file or a
// printer. Pages are numbered from 1.
#include "report_document.h"

class QPainter;
class QPrinter;

namespace report {

// Draws page `index` (0-based) with the painter's device origin at the paper's corner;
// `dotsPerPoint` is the device's resolution over 72.
void paintPage(QPainter& painter, const Document& doc, int index, double dotsPerPoint);

// Writes pages `from`..`to` (0 for the first/last page). False when the file cannot be written.
bool writePdf(const Document& doc, const QString& path, int from = 0, int to = 0);

// Prints pages `from`..`to` on a printer already chosen; `copies` copies. False when the printer
// cannot be started.
bool printDocument(const Document& doc, QPrinter& printer, int copies = 1, int from = 0, int to = 0);

} // namespace report
