#pragma once
// A status bar with text panels counted from 1, as the program's windows address them.
#include <QStatusBar>

class QLabel;

namespace widgets {

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    // `stretches`: one entry per panel, its share of the width.
    explicit StatusBar(QWidget* parent, std::initializer_list<int> stretches);

    int panelCount() const { return int(panels_.size()); }
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text); // index from 1; others are ignored

private:
    QList<QLabel*> panels_;
};

} // namespace widgets
