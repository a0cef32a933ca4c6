#include "qt_dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace runtime {

namespace {

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QList<QMessageBox::StandardButton> order; // first, second, third: for the default button flag
};

ButtonSet buttonsFor(int flags) {
    using B = QMessageBox;
    switch (flags & mb::ButtonsMask) {
    case mb::OKCancel:
        return {B::Ok | B::Cancel, {B::Ok, B::Cancel}};
    case mb::AbortRetryIgnore:
        return {B::Abort | B::Retry | B::Ignore, {B::Abort, B::Retry, B::Ignore}};
    case mb::YesNoCancel:
        return {B::Yes | B::No | B::Cancel, {B::Yes, B::No, B::Cancel}};
    case mb::YesNo:
        return {B::Yes | B::No, {B::Yes, B::No}};
    case mb::RetryCancel:
        return {B::Retry | B::Cancel, {B::Retry, B::Cancel}};
    default:
        return {B::Ok, {B::Ok}};
    }
}

QMessageBox::Icon iconFor(int flags) {
    switch (flags & mb::IconMask) {
    case mb::Critical:
        return QMessageBox::Critical;
    case mb::Question:
        return QMessageBox::Question;
    case mb::Exclamation:
        return QMessageBox::Warning;
    case mb::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

Answer answerFor(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return Answer::OK;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Ignore:
        return Answer::Ignore;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel; // closed with Escape or the window's close box
    }
}

} // namespace

Answer QtDialogs::msgBox(const std::string& prompt, int flags, const std::string& title) {
    ButtonSet set = buttonsFor(flags);
    QMessageBox box(iconFor(flags), QString::fromStdString(title), QString::fromStdString(prompt),
                    set.buttons, QApplication::activeWindow());
    int defaultIndex = (flags & mb::DefaultMask) >> 8;
    if (defaultIndex < set.order.size()) box.setDefaultButton(set.order[defaultIndex]);
    return answerFor(box.exec());
}

std::optional<std::string> QtDialogs::inputBox(const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) {
    bool ok = false;
    QString text = QInputDialog::getText(QApplication::activeWindow(), QString::fromStdString(title),
                                         QString::fromStdString(prompt), QLineEdit::Normal,
                                         QString::fromStdString(defaultText), &ok);
    if (!ok) return std::nullopt;
    return text.toStdString();
}

} // namespace runtime
