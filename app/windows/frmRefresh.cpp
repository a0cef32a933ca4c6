#include "frmRefresh.h"

#include "basGlobals.h"
#include "basUtilityFunctions_ui.h"
#include "frmMain.h"
#include "settings_store.h"

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
    grid->addLayout(buttons, 2, 0, 1, 3);

    connect(chkAutoRefresh, &QCheckBox::clicked, this, &frmRefresh::chkAutoRefresh_Click);
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

void frmRefresh::txtRefreshTimer_Change() {
    const std::string text = txtRefreshTimer->text().toStdString();
    SaveSetting(kApp, "Refresh", "Interval", text);
    // Text that is no whole number of minutes in range (empty, "abc", 99999, -3) keeps the previous
    // interval: the board's timer counts minutes up to it.
    try {
        std::int16_t minutes = runtime::Variant(text).toInteger();
        if (minutes >= 0) gRefreshInterval = minutes;
    } catch (const runtime::Error&) {
    }
}

void frmRefresh::cmdOK_Click() {
    accept();
}

void frmRefresh::cmdCancel_Click() {
    SaveSetting(kApp, "Refresh", "Interval", std::to_string(savedInterval_));
    gRefreshInterval = savedInterval_;
    SaveSetting(kApp, "Refresh", "Enabled", savedEnabled_ ? "True" : "False");
    gAutoRefresh = savedEnabled_;
    QDialog::reject();
}

void frmRefresh::reject() {
    cmdCancel_Click();
}

void frmRefresh::closeEvent(QCloseEvent* event) {
    event->accept();
    accept();
}
