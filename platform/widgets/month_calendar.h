#pragma once
// A month calendar whose value is a date; a click on a day raises Click (changing the month or
// the year does not).
#include "runtime/ole_date.h"

#include <QCalendarWidget>

namespace widgets {

class MonthCalendar : public QCalendarWidget {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget* parent = nullptr);

    runtime::Date Value() const;
    void setValue(runtime::Date date); // does not raise Click

signals:
    void Click();
};

} // namespace widgets
