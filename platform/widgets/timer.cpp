#include "timer.h"

namespace widgets {

Timer::Timer(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &Timer::Tick);
}

void Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    restart();
}

void Timer::setInterval(int ms) {
    interval_ = ms;
    restart();
}

void Timer::restart() {
    timer_.stop();
    // A timer with no interval never ticks, as the platform's timer control.
    if (enabled_ && interval_ > 0) timer_.start(interval_);
}

void Timer::fire() {
    if (enabled_) emit Tick();
}

} // namespace widgets
