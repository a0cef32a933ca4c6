#include "basUtilityFunctions_ui.h"

#include "dao/jet_sql.h"
#include "runtime/numbers.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QWidget>

namespace basUtilityFunctions {

bool gSelectAllActive = false;
std::int16_t gSelectAllPercent = 0;

namespace {
bool multiSelect(const QListWidget& list) {
    auto mode = list.selectionMode();
    return mode == QAbstractItemView::MultiSelection || mode == QAbstractItemView::ExtendedSelection;
}
} // namespace

std::string BuildInClause(QWidget* control) {
    auto* list = qobject_cast<QListWidget*>(control);
    if (!list || list->selectedItems().isEmpty()) return "";
    std::string clause = "IN (";
    bool first = true;
    auto add = [&](const QListWidgetItem* item) {
        if (!first) clause += ",";
        clause += dao::jet::quoteText(item->text().toStdString());
        first = false;
    };
    if (multiSelect(*list)) {
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected()) add(list->item(i));
    } else {
        // The selected item, which need not be the current one (the focus can move on without it).
        add(list->selectedItems().front());
    }
    return clause + ")";
}

void SelectAllListItems(QListWidget& list) {
    gSelectAllActive = true;
    gSelectAllPercent = 0;
    if (multiSelect(list)) {
        for (int i = 0; i < list.count(); ++i) {
            list.item(i)->setSelected(true);
            gSelectAllPercent = std::int16_t(runtime::roundHalfEven((i + 1) * 100.0 / list.count()));
        }
    } else if (list.currentRow() != -1) {
        list.item(list.currentRow())->setSelected(true);
    }
    gSelectAllActive = false;
}

void ClearListSelection(QListWidget& list) {
    if (multiSelect(list)) {
        for (int i = 0; i < list.count(); ++i)
            list.item(i)->setSelected(false);
    } else if (list.currentRow() != -1) {
        list.item(list.currentRow())->setSelected(false);
    }
}

void FillListFromRecordset(dao::Recordset& source, QListWidget& target, const std::string& fieldName) {
    target.clear();
    source.MoveFirst();
    while (!source.atEOF()) {
        runtime::Variant v = source[fieldName];
        if (!v.isNull()) target.addItem(QString::fromStdString(v.toString()));
        source.MoveNext();
    }
}

} // namespace basUtilityFunctions

void CenterFormOver(QWidget& window, const QWidget& reference) {
    QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                    : QRect(0, 0, 1280, 1024);
    const QRect ref = reference.frameGeometry();
    const int w = window.frameGeometry().width(), h = window.frameGeometry().height();
    auto place = [](int refStart, int refSize, int size, int screenSize) {
        int start = refStart + (refSize - size) / 2;
        if (start < 0) return 0;
        if (start + size > screenSize) return screenSize - size;
        return start;
    };
    window.move(place(ref.left(), ref.width(), w, screen.width()),
                place(ref.top(), ref.height(), h, screen.height()));
}
