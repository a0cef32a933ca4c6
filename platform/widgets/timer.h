#pragma once
// A timer control: Enabled and Interval, and a Timer event. Tests drive it with fire() instead
// of waiting for the clock.
#include <QObject>
#include <QTimer>

namespace widgets {

class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);

    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int Interval() const { return interval_; }
    void setInterval(int ms);

    // Raises one Timer event now, as if the interval had passed (only when enabled, as the clock would).
    void fire();

signals:
    void Tick();

private:
    void restart();
    QTimer timer_;
    bool enabled_ = false;
    int interval_ = 0;
};

} // namespace widgets
