#pragma once
// Up and down arrows beside a text box: each click raises UpClick or DownClick, and the window
// decides what the text becomes.
#include <QWidget>

class QToolButton;

namespace widgets {

class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void UpClick();
    void DownClick();

private:
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace widgets
