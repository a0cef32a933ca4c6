#include "month_calendar.h"

#include "runtime/clock.h"

#include <QTextCharFormat>
#include <QTimer>

namespace widgets {

MonthCalendar::MonthCalendar(QWidget* parent) : QCalendarWidget(parent) {
    setGridVisible(true);
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    // A click on a new day changes the selection first and then reports the click: the change has
    // raised Click, the click must not raise it a second time.
    connect(this, &QCalendarWidget::selectionChanged, this, [this] {
        if (settingByProgram_) return;
        changedInThisEvent_ = true;
        QTimer::singleShot(0, this, [this] { changedInThisEvent_ = false; });
        emit Click();
    });
    connect(this, &QCalendarWidget::clicked, this, [this](QDate) {
        if (changedInThisEvent_) {
            changedInThisEvent_ = false;
            return;
        }
        emit Click();
    });
    markToday();
}

void MonthCalendar::markToday() {
    runtime::Date today = runtime::Today();
    QTextCharFormat format;
    format.setFontWeight(QFont::Bold);
    format.setFontUnderline(true);
    format.setForeground(QColor(0, 70, 160));
    setDateTextFormat(QDate(), QTextCharFormat()); // forgets a day marked before
    setDateTextFormat(QDate(today.year(), today.month(), today.day()), format);
}

runtime::Date MonthCalendar::Value() const {
    QDate d = selectedDate();
    return runtime::Date::fromYmd(d.year(), d.month(), d.day());
}

void MonthCalendar::setValue(runtime::Date date) {
    settingByProgram_ = true;
    setSelectedDate(QDate(date.year(), date.month(), date.day()));
    settingByProgram_ = false;
}

} // namespace widgets
