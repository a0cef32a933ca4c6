#pragma once
// The board's shared procedures: re-query the board for the selected tab and the calendar date,
// fill the grid's drop-down lists, switch the edit commands, and show a column's help text.
#include "dao/dao.h"
#include "runtime/ole_date.h"

#include <string>

namespace widgets {
class StatusBar;
}

namespace basGlobals {

void ApplyStatusTab();
// The board's rows of a status tab (1 Today ... 6 Canceled) for a day, as ApplyStatusTab binds them.
dao::Recordset openTabRows(int index, runtime::Date date);
void LoadTruckLineList();
void LoadLateReasonList();
// 2 Move, 3 Update, 4 Cancel/Delete: the board's button and the main window's Edit item together.
void SetEditCommandEnabled(int which, bool enabled);
void ShowColumnHelp(const std::string& formName, int colIndex, widgets::StatusBar* statusBar = nullptr);

} // namespace basGlobals
