#pragma once
// The whole start-up as a clerk goes through it: the main window loads and its login dialog is
// answered with `user` and `password` as soon as it is shown (and only then).
#include "frmLoginForm.h"
#include "frmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <functional>

namespace shelltest {

// `atLogin` runs when the dialog shows, before it is answered.
inline void startProgramAs(const QString& user, const QString& password,
                           const std::function<void()>& atLogin = {}) {
    frmMain& main = frmMain::instance();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* login = qobject_cast<frmLoginForm*>(QApplication::activeModalWidget());
        if (!login) return;
        poll.stop();
        if (atLogin) atLogin();
        login->txtUserName->setText(user);
        login->txtPassword->setText(password);
        login->cmdOK_Click();
    });
    poll.start(5);
    main.Form_Load();
}

} // namespace shelltest
