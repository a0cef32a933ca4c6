#pragma once
// Live updates of the board: another workstation's change shows within a moment, without a click.
// A cheap look for changes runs a few times a second; changed rows are read again by key where they
// stand (the current row, the selection and the scroll position stay) and are briefly highlighted.
// Only when rows may have joined or left the tab is the tab read again, and then the current row,
// the selection and the scroll position are found again by key. A row being edited is never read
// again: it is marked, and its Update meets the conflict check as before. The refresh timer stays
// as the user set it.
#include "dao/change_notices.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <map>
#include <optional>
#include <string>

class frmShipments;

class LiveBoard : public QObject {
    Q_OBJECT
public:
    explicit LiveBoard(frmShipments& board);

    // The user's choice ("Dorvane" / "Refresh" / "Live", on unless "False").
    static bool enabledSetting();
    static void saveEnabledSetting(bool on);
    // Starts or stops looking for changes.
    void setEnabled(bool on);
    bool enabled() const { return timer_.isActive(); }

    // One look for changes and their showing (the timer's tick).
    void check();
    // The board was read again by other means (a tab, Refresh): what was due is done.
    void boardRequeried() { requeryDue_ = false; }

    // The grid style of a highlighted row.
    static const char* styleName();
    // Whether a row is shown highlighted as changed elsewhere just now.
    bool highlighted(int row) const;
    // How many times the tab had to be read again, and rows were read in place (tests, benchmarks).
    int requeries() const { return requeries_; }
    int rowsReadInPlace() const { return inPlace_; }

signals:
    // Rows other workstations changed, for the windows that show rows of their own.
    void changed(const dao::ChangedRows& changes);

private:
    bool editing() const;
    void followTruckLines(bool changed);
    void show(const dao::ChangedRows& changes);
    void readTabAgain(const dao::ChangedRows& changes);
    void mark(const std::string& key, int ms);
    void fade();

    frmShipments& board_;
    std::optional<dao::ChangeWatch> watch_;
    QTimer timer_, fade_;
    QElapsedTimer clock_;
    std::map<std::string, qint64> highlight_; // row key -> until (clock_ ms)
    bool requeryDue_ = false;                 // waits for the row being edited
    // Changed truck lines not shown yet: the drop-down waits for a cell being edited, the window for
    // a line being edited.
    bool dropDownDue_ = false, linesWindowDue_ = false;
    int requeries_ = 0, inPlace_ = 0;
};
