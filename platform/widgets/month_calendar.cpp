#include "month_calendar.h"

namespace widgets {

MonthCalendar::MonthCalendar(QWidget* parent) : QCalendarWidget(parent) {
    setGridVisible(true);
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    connect(this, &QCalendarWidget::clicked, this, [this](QDate) { emit Click(); });
}

runtime::Date MonthCalendar::Value() const {
    QDate d = selectedDate();
    return runtime::Date::fromYmd(d.year(), d.month(), d.day());
}

void MonthCalendar::setValue(runtime::Date date) {
    setSelectedDate(QDate(date.year(), date.month(), date.day()));
}

} // namespace widgets
