#include "frmLoginForm.h"

#include "CKelmarOptions.h"
#include "basGlobals.h"

#include "dao/dao.h"
#include "runtime/dialogs.h"
#include "runtime/end.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

using namespace basGlobals;

frmLoginForm::frmLoginForm(QWidget* parent) : QDialog(parent) {
    setObjectName("frmLoginForm");
    setWindowTitle("Please Login");
    setModal(true);
    Label1 = new QLabel("User Name:", this);
    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName("txtUserName");
    Label2 = new QLabel("Password:", this);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet("lineedit-password-character: 42"); // "*"
    chkSavePwd = new QCheckBox("Save password.", this);
    chkSavePwd->setObjectName("chkSavePwd");
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(txtUserName, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(txtPassword, 1, 1);
    grid->addWidget(chkSavePwd, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);

    // A dialog of fixed size, in the middle of the screen.
    grid->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    connect(cmdOK, &QPushButton::clicked, this, &frmLoginForm::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLoginForm::cmdCancel_Click);
    Form_Load();
}

void frmLoginForm::Form_Load() {
    txtUserName->setText(QString::fromStdString(gOptions->UserName()));
    txtPassword->setText(QString::fromStdString(gOptions->UserPwd()));
    if (!txtUserName->text().isEmpty()) chkSavePwd->setChecked(true);
    QApplication::restoreOverrideCursor();
}

void frmLoginForm::cmdOK_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string user = txtUserName->text().toStdString();
    const std::string password = txtPassword->text().toStdString();
    auto& engine = dao::engine();
    engine.setDefaultUser(user);
    engine.setDefaultPassword(password);

    bool failed = false;
    dao::Workspace test;
    try {
        test = engine.CreateWorkspace("TestWkspc", user, password);
    } catch (const runtime::Error& e) {
        // The engine's own words say what is wrong (a wrong password, an unreadable workgroup...).
        QApplication::restoreOverrideCursor();
        runtime::MsgBox(e.description() + "  Please retry.", runtime::mb::OKOnly, "Dorvane");
        QApplication::setOverrideCursor(Qt::WaitCursor);
        failed = true;
    }
    if (!failed) {
        test.Close();
        if (chkSavePwd->checkState() == Qt::Checked) {
            gOptions->UserName(user);
            gOptions->UserPwd(password);
            gOptions->SaveLoginCredentials();
        }
        gUserName = user;
        gUserPassword = password;
        accept();
    }
    QApplication::restoreOverrideCursor();
}

void frmLoginForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QRect screen = (parentWidget() ? parentWidget()->screen() : this->screen())->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(screen.center());
    move(frame.topLeft());
}

void frmLoginForm::cmdCancel_Click() {
    runtime::End();
}

void frmLoginForm::reject() {
    cmdCancel_Click();
}

// The close box goes on without a check only as an account that needs no password (the engine's
// built-in account where no workgroup is configured, or a workgroup account without one). Where the
// workgroup asks for a password it ends the program like Cancel: it must never open the door to
// the administrative account the options name.
void frmLoginForm::closeEvent(QCloseEvent* event) {
    auto& engine = dao::engine();
    bool needsNoPassword = engine.DefaultPassword().empty();
    if (needsNoPassword) {
        try {
            engine.CreateWorkspace("TestWkspc", engine.DefaultUser(), "").Close();
        } catch (const runtime::Error&) {
            needsNoPassword = false;
        }
    }
    if (!needsNoPassword) {
        event->ignore();
        cmdCancel_Click();
        return;
    }
    event->accept();
    done(QDialog::Rejected);
}

void frmLoginForm::done(int result) {
    gRefreshPending = false;
    QApplication::restoreOverrideCursor();
    QDialog::done(result);
}
