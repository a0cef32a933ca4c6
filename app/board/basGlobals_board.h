#pragma once
// The board's shared procedures: re-query the board for the selected tab and the calendar date,
// fill the grid's drop-down lists, switch the edit commands, and show a column's help text.
#include <string>

namespace widgets {
class StatusBar;
}

namespace basGlobals {

void ApplyStatusTab();
void LoadTruckLineList();
void LoadLateReasonList();
// 2 Move, 3 Update, 4 Cancel/Delete: the board's button and the main window's Edit item together.
void SetEditCommandEnabled(int which, bool enabled);
void ShowColumnHelp(const std::string& formName, int colIndex, widgets::StatusBar* statusBar = nullptr);

} // namespace basGlobals
