#include "tab_strip.h"

namespace widgets {

TabStrip::TabStrip(QWidget* parent) : QTabBar(parent) {
    setExpanding(false);
    connect(this, &QTabBar::currentChanged, this, [this](int) {
        if (!programmatic_) emit Click();
    });
}

int TabStrip::addTab1(const QString& caption, const QString& toolTip) {
    int i = addTab(caption);
    setTabToolTip(i, toolTip);
    return i + 1;
}

void TabStrip::setSelectedIndex(int index) {
    programmatic_ = true;
    setCurrentIndex(index - 1);
    programmatic_ = false;
    emit Click();
}

} // namespace widgets
