#pragma once
// What the report tests share: the text of a PDF as poppler's pdftotext reads it, and what a person
// reads on its printed page: the page rendered to pixels by pdftoppm and read by tesseract's OCR.
// The text layer holds a number whole even where the drawing cut it; only the pixels show the cut.
#include "dao/dao.h"

#include <QDir>
#include <QFileInfo>
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

// The words OCR reads on page `page` of a PDF rendered at `dpi`; empty when pdftoppm or tesseract
// is missing or fails. The picture is left beside the PDF (NAME-ocr-PAGE.png) for whoever looks.
inline QString ocrText(const QString& pdf, int page = 1, int dpi = 300) {
    const QString base = QFileInfo(pdf).dir().filePath(QFileInfo(pdf).completeBaseName() + "-ocr");
    QProcess raster;
    raster.start("pdftoppm", {"-r", QString::number(dpi), "-gray", "-png", "-singlefile", "-f",
                              QString::number(page), "-l", QString::number(page), pdf, base});
    if (!raster.waitForFinished(120000) || raster.exitCode() != 0) return {};
    QProcess ocr;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("OMP_THREAD_LIMIT", "1"); // one page needs no more than one core of a shared machine
    ocr.setProcessEnvironment(env);
    ocr.start("tesseract", {base + ".png", "stdout", "-l", "eng", "--psm", "6"});
    if (!ocr.waitForFinished(120000) || ocr.exitCode() != 0) return {};
    return QString::fromUtf8(ocr.readAllStandardOutput());
}

} // namespace reporttest
