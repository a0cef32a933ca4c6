#include "preview_window.h"

#include "printers.h"
#include "report_render.h"
#include "report_status.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace report {

PreviewWindow::PreviewWindow(std::shared_ptr<const Document> doc, const QString& title, QWidget* parent)
    : QDialog(parent), doc_(std::move(doc)) {
    setWindowTitle(title);
    setObjectName("PrintPreview");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    resize(960, 720);

    // The preview draws through a PDF-format printer: what is shown does not depend on the
    // printers of the machine, and the pages are those the PDF and the printer get.
    previewPrinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    previewPrinter_->setOutputFormat(QPrinter::PdfFormat);
    previewPrinter_->setFullPage(true);
    previewPrinter_->setPageLayout(doc_->layout);
    view_ = new QPrintPreviewWidget(previewPrinter_.get(), this);
    connect(view_, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) {
        QPainter painter(printer);
        const double k = printer->resolution() / 72.0;
        for (int i = 0; i < int(doc_->pages.size()); ++i) {
            if (i > 0) printer->newPage();
            paintPage(painter, *doc_, i, k);
        }
    });

    auto* bar = bar_ = new QToolBar(this);
    bar->setObjectName("previewToolbar");
    auto add = [&](QStyle::StandardPixmap icon, const QString& text, auto slot) {
        QAction* a = bar->addAction(style()->standardIcon(icon), text);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    // Paging and zoom are pictures (their names are the tool tips), so that Print..., Export PDF...
    // and Close keep their words in view at the window's default width.
    actFirst = add(QStyle::SP_MediaSkipBackward, "First Page", [this] { goToPage(1); });
    actPrevious = add(QStyle::SP_MediaSeekBackward, "Previous Page", [this] { goToPage(currentPage() - 1); });
    pageText_ = new QLabel(this);
    pageText_->setObjectName("pageText");
    pageText_->setMinimumWidth(110);
    pageText_->setAlignment(Qt::AlignCenter);
    bar->addWidget(pageText_);
    actNext = add(QStyle::SP_MediaSeekForward, "Next Page", [this] { goToPage(currentPage() + 1); });
    actLast = add(QStyle::SP_MediaSkipForward, "Last Page", [this] { goToPage(pageCount()); });
    bar->addSeparator();
    auto zoom = [&](const QString& icon, const QString& text) {
        return bar->addAction(QIcon::fromTheme(icon, QIcon::fromTheme(icon + "-symbolic")), text);
    };
    actZoomIn = zoom("zoom-in", "Zoom In");
    connect(actZoomIn, &QAction::triggered, this, [this] { view_->zoomIn(1.25); });
    actZoomOut = zoom("zoom-out", "Zoom Out");
    connect(actZoomOut, &QAction::triggered, this, [this] { view_->zoomOut(1.25); });
    actFitWidth = zoom("zoom-fit-width", "Fit Width");
    connect(actFitWidth, &QAction::triggered, view_, &QPrintPreviewWidget::fitToWidth);
    actFitPage = zoom("zoom-fit-best", "Whole Page");
    connect(actFitPage, &QAction::triggered, view_, &QPrintPreviewWidget::fitInView);
    bar->addSeparator();
    actPrint = add(QStyle::SP_DialogOkButton, "Print...", [this] { choosePrinterAndPrint(); });
    actExport = add(QStyle::SP_DialogSaveButton, "Export PDF...", [this] { chooseFileAndExport(); });
    bar->addSeparator();
    actClose = add(QStyle::SP_DialogCloseButton, "Close", [this] { close(); });
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction* a :
         {actFirst, actPrevious, actNext, actLast, actZoomIn, actZoomOut, actFitWidth, actFitPage})
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a)); button && !a->icon().isNull())
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(view_, 1);
    connect(view_, &QPrintPreviewWidget::previewChanged, this, &PreviewWindow::updatePageText);
    view_->setZoomMode(QPrintPreviewWidget::FitToWidth);
    view_->updatePreview();
    updatePageText();
}

PreviewWindow::~PreviewWindow() = default;

int PreviewWindow::pageCount() const {
    return int(doc_->pages.size());
}

int PreviewWindow::currentPage() const {
    return view_->currentPage();
}

double PreviewWindow::zoomFactor() const {
    return view_->zoomFactor();
}

void PreviewWindow::goToPage(int page) {
    view_->setCurrentPage(std::clamp(page, 1, std::max(1, pageCount())));
    updatePageText();
}

void PreviewWindow::updatePageText() {
    const int page = currentPage(), pages = pageCount();
    pageText_->setText(QString("Page %1 of %2").arg(page).arg(pages));
    actFirst->setEnabled(page > 1);
    actPrevious->setEnabled(page > 1);
    actNext->setEnabled(page < pages);
    actLast->setEnabled(page < pages);
}

int PreviewWindow::exportPdf(const QString& path) {
    return writePdf(*doc_, path) ? status::Ok : status::OutputFailed;
}

int PreviewWindow::printOn(QPrinter& printer) {
    int from = printer.printRange() == QPrinter::PageRange ? printer.fromPage() : 0;
    int to = printer.printRange() == QPrinter::PageRange ? printer.toPage() : 0;
    return printDocument(*doc_, printer, printer.copyCount(), from, to) ? status::Ok : status::OutputFailed;
}

void PreviewWindow::choosePrinterAndPrint() {
    QString problem;
    std::unique_ptr<QPrinter> printer = openPrinter("", &problem);
    if (!printer) {
        tellUser(problem + " Use Export PDF... to keep the report as a file.");
        return;
    }
    QPrintDialog dialog(printer.get(), this);
    dialog.setMinMax(1, pageCount());
    if (dialog.exec() != QDialog::Accepted) return;
    if (printOn(*printer) != status::Ok)
        tellUser("The report could not be sent to " + printer->printerName() + ".");
}

QString PreviewWindow::suggestedPdfPath() const {
    // The report's title as a file name: characters no file system takes become dashes (a short
    // date's slashes among them).
    static const QRegularExpression unsafe(R"([/\\:*?"<>|\x00-\x1f]+)");
    QString name = QString(doc_->title).replace(unsafe, "-").trimmed();
    if (name.isEmpty()) name = "Report";
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name + ".pdf");
}

void PreviewWindow::chooseFileAndExport() {
    const QString suggested = suggestedPdfPath();
    QDir().mkpath(QFileInfo(suggested).path()); // a new account may have no documents folder yet
    QString path = QFileDialog::getSaveFileName(this, "Export PDF", suggested, "PDF files (*.pdf)");
    if (path.isEmpty()) return;
    if (!path.endsWith(".pdf", Qt::CaseInsensitive)) path += ".pdf";
    if (exportPdf(path) != status::Ok) tellUser("The report could not be written to " + path + ".");
}

} // namespace report
