#include "frmCalendarForm.h"

#include "basGlobals_board.h"
#include "frmMain.h"

#include "runtime/clock.h"
#include "widgets/month_calendar.h"
#include "widgets/twips.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

DefaultInstance<frmCalendarForm>& frmCalendarForm::defaultInstance() {
    static DefaultInstance<frmCalendarForm> calendar([](frmCalendarForm& c) { c.Form_Load(); });
    return calendar;
}

frmCalendarForm& frmCalendarForm::instance() {
    return defaultInstance().get();
}

bool frmCalendarForm::exists() {
    return defaultInstance().exists();
}

void frmCalendarForm::unload() {
    frmCalendarForm* calendar = defaultInstance().release();
    if (!calendar) return;
    if (calendar->sub_) calendar->sub_->deleteLater();
    delete calendar;
}

frmCalendarForm::frmCalendarForm() {
    setObjectName("frmCalendarForm");
    calCalendar = new widgets::MonthCalendar(this);
    calCalendar->setObjectName("calCalendar");
    cmdShowToday = new QPushButton("Show Today", this);
    cmdShowToday->setObjectName("cmdShowToday");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(calCalendar, 1);
    layout->addWidget(cmdShowToday);
    connect(cmdShowToday, &QPushButton::clicked, this, &frmCalendarForm::cmdShowToday_Click);
    connect(calCalendar, &widgets::MonthCalendar::Click, this, &frmCalendarForm::calCalendar_Click);

    // A tool window of the main window with a fixed border and no minimise or maximise button.
    sub_ = frmMain::instance().mdiArea()->addSubWindow(
        this, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint);
    sub_->setWindowTitle("Calendar");
    sub_->setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogInfoView));
    sub_->hide();
}

void frmCalendarForm::Form_Load() {
    calCalendar->setValue(runtime::Today());
    QSize client(widgets::twipsToPixels(2625), widgets::twipsToPixels(2550));
    sub_->resize(client.expandedTo(sizeHint()) + QSize(12, 30));
    sub_->setFixedSize(sub_->size());
    sub_->move(0, 0);
}

void frmCalendarForm::showCalendar() {
    sub_->show();
    sub_->raise();
}

void frmCalendarForm::cmdShowToday_Click() {
    calCalendar->setValue(runtime::Today());
    showBoardOfDay();
}

void frmCalendarForm::calCalendar_Click() {
    showBoardOfDay();
}

// The board shows the chosen day; the focus stays where the clerk chose it, so the arrow keys go on
// moving the day.
void frmCalendarForm::showBoardOfDay() {
    QPointer<QWidget> focus = QApplication::focusWidget();
    basGlobals::ApplyStatusTab();
    if (focus && (focus == this || isAncestorOf(focus))) focus->setFocus();
}
