#pragma once
// The calendar window: holds the board date, the day whose shipments the status tabs show.
// Picking a day re-queries the board.
#include "default_instance.h"

#include <QWidget>

class QMdiSubWindow;
class QPushButton;

namespace widgets {
class MonthCalendar;
}

class frmCalendarForm : public QWidget {
    Q_OBJECT
public:
    // The one default instance; reading the date creates it (not shown) with today's date.
    static frmCalendarForm& instance();
    static bool exists();
    static void unload();

    widgets::MonthCalendar* calCalendar;
    QPushButton* cmdShowToday;

    void showCalendar();
    QMdiSubWindow* subWindow() const { return sub_; }

    void cmdShowToday_Click();
    void calCalendar_Click();

private:
    void showBoardOfDay();
    friend class DefaultInstance<frmCalendarForm>;
    static DefaultInstance<frmCalendarForm>& defaultInstance();
    frmCalendarForm();
    void Form_Load();
    QMdiSubWindow* sub_ = nullptr;
};
