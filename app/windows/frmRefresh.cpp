#include "frmRefresh.h"

#include "basGlobals.h"
#include "basUtilityFunctions_ui.h"
#include "frmMain.h"
#include "frmShipments.h"
#include "live_board.h"
#include "settings_store.h"

#include "runtime/dialogs.h"
#include "runtime/error.h"
#include "runtime/variant.h"
#include "widgets/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace basGlobals;

namespace {
constexpr const char* kApp = "Dorvane";
}

frmRefresh::frmRefresh(QWidget* parent) : QDialog(parent) {
    setObjectName("frmRefresh");
    setWindowTitle("Automatic Refresh");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    chkAutoRefresh = new QCheckBox("Use automatic refresh", this);
    chkAutoRefresh->setObjectName("chkAutoRefresh");
    lblRefreshPrompt[0] = new QLabel("Set time between refreshes to", this);
    txtRefreshTimer = new QLineEdit(this);
    txtRefreshTimer->setObjectName("txtRefreshTimer");
    txtRefreshTimer->setMaximumWidth(widgets::twipsToPixels(600));
    lblRefreshPrompt[1] = new QLabel("minutes.", this);
    chkLiveUpdates = new QCheckBox("Show other workstations' changes at once", this);
    chkLiveUpdates->setObjectName("chkLiveUpdates");
    cmdOK = new QPushButton("&OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");

    auto* grid = new QGridLayout(this);
    grid->addWidget(chkAutoRefresh, 0, 0, 1, 3);
    grid->addWidget(lblRefreshPrompt[0], 1, 0);
    grid->addWidget(txtRefreshTimer, 1, 1);
    grid->addWidget(lblRefreshPrompt[1], 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addWidget(chkLiveUpdates, 2, 0, 1, 3);
    grid->addLayout(buttons, 3, 0, 1, 3);

    connect(chkAutoRefresh, &QCheckBox::clicked, this, &frmRefresh::chkAutoRefresh_Click);
    connect(chkLiveUpdates, &QCheckBox::clicked, this, &frmRefresh::chkLiveUpdates_Click);
    connect(txtRefreshTimer, &QLineEdit::textChanged, this, &frmRefresh::txtRefreshTimer_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmRefresh::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmRefresh::cmdCancel_Click);
    Form_Load();
}

void frmRefresh::Form_Load() {
    savedInterval_ = gRefreshInterval;
    txtRefreshTimer->setText(QString::number(gRefreshInterval)); // raises the change handling
    savedEnabled_ = gAutoRefresh;
    chkAutoRefresh->setChecked(gAutoRefresh);
    if (gAutoRefresh) chkAutoRefresh_Click();
    enablePrompts(gAutoRefresh);
    savedLive_ = LiveBoard::enabledSetting();
    chkLiveUpdates->setChecked(savedLive_);
    setFixedSize(sizeHint().expandedTo(QSize(widgets::twipsToPixels(4410), widgets::twipsToPixels(1440))));
    CenterFormOver(*this, frmMain::instance());
}

void frmRefresh::enablePrompts(bool enabled) {
    lblRefreshPrompt[0]->setEnabled(enabled);
    lblRefreshPrompt[1]->setEnabled(enabled);
    txtRefreshTimer->setEnabled(enabled);
}

void frmRefresh::chkAutoRefresh_Click() {
    if (chkAutoRefresh->isChecked()) {
        enablePrompts(true);
        if (txtRefreshTimer->text().isEmpty()) txtRefreshTimer->setText("5");
        gAutoRefresh = true;
        SaveSetting(kApp, "Refresh", "Enabled", "True");
    } else {
        enablePrompts(false);
        gAutoRefresh = false;
        SaveSetting(kApp, "Refresh", "Enabled", "False");
    }
}

// Live updates go on or off at once, on the board too; the refresh above stays as set.
void frmRefresh::chkLiveUpdates_Click() {
    LiveBoard::saveEnabledSetting(chkLiveUpdates->isChecked());
    if (frmShipments::exists()) frmShipments::instance().liveBoard()->setEnabled(chkLiveUpdates->isChecked());
}

// The interval a text gives: a whole number of minutes (a fraction rounds, halves to even) that the
// board's minute counter can reach; nothing for empty text, "abc", 99999 or -3.
std::optional<std::int16_t> frmRefresh::typedInterval() const {
    try {
        std::int16_t minutes = runtime::Variant(txtRefreshTimer->text().toStdString()).toInteger();
        if (minutes >= 0) return minutes;
    } catch (const runtime::Error&) {
    }
    return std::nullopt;
}

// Each keystroke that gives an interval is stored at once; text that gives none is not stored
// (it would read as 0 at the next start) and the previous interval stays.
void frmRefresh::txtRefreshTimer_Change() {
    if (std::optional<std::int16_t> minutes = typedInterval()) {
        SaveSetting(kApp, "Refresh", "Interval", txtRefreshTimer->text().toStdString());
        gRefreshInterval = *minutes;
    }
}

// While the refresh is on, the dialog closes only on an interval it could store.
bool frmRefresh::intervalAccepted() {
    if (!chkAutoRefresh->isChecked() || typedInterval()) return true;
    runtime::MsgBox("\"" + txtRefreshTimer->text().toStdString() +
                        "\" is not a number of minutes.  Enter the minutes between refreshes as a whole "
                        "number from 0 to 32767.",
                    runtime::mb::Exclamation);
    txtRefreshTimer->setFocus();
    txtRefreshTimer->selectAll();
    return false;
}

void frmRefresh::cmdOK_Click() {
    if (intervalAccepted()) accept();
}

void frmRefresh::cmdCancel_Click() {
    SaveSetting(kApp, "Refresh", "Interval", std::to_string(savedInterval_));
    gRefreshInterval = savedInterval_;
    SaveSetting(kApp, "Refresh", "Enabled", savedEnabled_ ? "True" : "False");
    gAutoRefresh = savedEnabled_;
    chkLiveUpdates->setChecked(savedLive_);
    chkLiveUpdates_Click();
    QDialog::reject();
}

void frmRefresh::reject() {
    cmdCancel_Click();
}

void frmRefresh::closeEvent(QCloseEvent* event) {
    if (!intervalAccepted()) {
        event->ignore();
        return;
    }
    event->accept();
    accept();
}
