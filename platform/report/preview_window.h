#pragma once
// The report's preview window: the pages as they will print, paged through and zoomed, printed on
// a printer chosen there, or saved as PDF. The window keeps its own copy of the laid-out report,
// so it stays complete after the rows it came from are gone.
#include "report_document.h"

#include <QDialog>
#include <memory>

class QAction;
class QLabel;
class QPrinter;
class QPrintPreviewWidget;
class QToolBar;

namespace report {

class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    PreviewWindow(std::shared_ptr<const Document> doc, const QString& title, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    int pageCount() const;
    int currentPage() const; // 1-based
    void goToPage(int page);
    double zoomFactor() const;
    QPrintPreviewWidget* view() const { return view_; }

    // What the toolbar's Export and Print do once the file or printer is chosen; a report status.
    int exportPdf(const QString& path);
    int printOn(QPrinter& printer);
    // Where Export PDF... offers to save: the report's title in the user's documents folder.
    QString suggestedPdfPath() const;
    QToolBar* toolBar() const { return bar_; }

    QAction *actFirst, *actPrevious, *actNext, *actLast, *actZoomIn, *actZoomOut, *actFitWidth, *actFitPage,
        *actPrint, *actExport, *actClose;

private:
    void choosePrinterAndPrint();
    void chooseFileAndExport();
    void updatePageText();

    std::shared_ptr<const Document> doc_;
    std::unique_ptr<QPrinter> previewPrinter_;
    QPrintPreviewWidget* view_;
    QLabel* pageText_;
    QToolBar* bar_;
};

} // namespace report
