#include "status_bar.h"

#include <QLabel>

namespace widgets {

StatusBar::StatusBar(QWidget* parent, std::initializer_list<int> stretches) : QStatusBar(parent) {
    for (int stretch : stretches) {
        auto* panel = new QLabel(this);
        panel->setIndent(3);
        panels_.append(panel);
        addWidget(panel, stretch);
    }
}

QString StatusBar::panelText(int index) const {
    return index >= 1 && index <= panels_.size() ? panels_[index - 1]->text() : QString();
}

void StatusBar::setPanelText(int index, const QString& text) {
    if (index >= 1 && index <= panels_.size()) panels_[index - 1]->setText(text);
}

} // namespace widgets
