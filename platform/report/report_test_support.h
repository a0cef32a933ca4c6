#pragma once
// What the report tests share: a scratch reports database of their own and the text of a PDF as
// poppler's pdftotext reads it.
#include "dao/dao.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace reporttest {

// The text of a PDF, laid out as on the page; empty when pdftotext is missing or fails.
inline QString pdfText(const QString& pdf) {
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The number of pages of a PDF (form feeds of pdftotext's output).
inline int pdfPages(const QString& pdf) {
    return int(pdfText(pdf).count('\f'));
}

} // namespace reporttest
