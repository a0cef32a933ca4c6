#pragma once
// The "Automatic Refresh" dialog: turns the board's automatic refresh on or off and sets the
// minutes between refreshes, live as the user types, and turns live updates (other workstations'
// changes shown at once) on or off; Cancel puts all back.
#include <QDialog>
#include <cstdint>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmRefresh : public QDialog {
    Q_OBJECT
public:
    explicit frmRefresh(QWidget* parent = nullptr);

    QCheckBox* chkAutoRefresh;
    QLabel* lblRefreshPrompt[2];
    QLineEdit* txtRefreshTimer;
    QCheckBox* chkLiveUpdates;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void chkAutoRefresh_Click();
    void chkLiveUpdates_Click();
    void txtRefreshTimer_Change();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void reject() override;                       // Esc is the Cancel button
    void closeEvent(QCloseEvent* event) override; // the close box keeps the changes, as OK does

private:
    void Form_Load();
    void enablePrompts(bool enabled);
    std::optional<std::int16_t> typedInterval() const;
    bool intervalAccepted();

    std::int16_t savedInterval_ = 0;
    bool savedEnabled_ = false;
    bool savedLive_ = true;
};
