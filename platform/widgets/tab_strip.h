#pragma once
// A tab strip whose tabs are counted from 1, each with a caption and a tool tip; a click on a tab
// (by the user or by setting the selected index) raises Click.
#include <QTabBar>

namespace widgets {

class TabStrip : public QTabBar {
    Q_OBJECT
public:
    explicit TabStrip(QWidget* parent = nullptr);

    int addTab1(const QString& caption, const QString& toolTip); // returns the 1-based index
    int SelectedIndex() const { return currentIndex() + 1; }
    void setSelectedIndex(int index); // raises Click, also when the tab was already selected
    QString SelectedCaption() const { return tabText(currentIndex()); }
    QString Caption(int index) const { return tabText(index - 1); }

signals:
    void Click();

private:
    bool programmatic_ = false;
};

} // namespace widgets
