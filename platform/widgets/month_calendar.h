#pragma once
// A month calendar whose value is a date. Every change of the day by the user (a click, the arrow
// keys, Page Up/Down) raises Click once, and so does a click on the day already chosen; changing
// the shown month or year alone does not. Today stays marked whichever day is chosen.
#include "runtime/ole_date.h"

#include <QCalendarWidget>

namespace widgets {

class MonthCalendar : public QCalendarWidget {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget* parent = nullptr);

    runtime::Date Value() const;
    void setValue(runtime::Date date); // does not raise Click
    // Marks the day that is today (the program's clock); done at creation.
    void markToday();

signals:
    void Click();

private:
    bool settingByProgram_ = false;
    bool changedInThisEvent_ = false; // a click that changed the day has raised Click already
};

} // namespace widgets
