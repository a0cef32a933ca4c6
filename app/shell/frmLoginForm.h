#pragma once
// The login dialog: proves a user name and password against the workgroup and makes them the
// database engine's default credentials for everything the program opens afterwards.
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmLoginForm : public QDialog {
    Q_OBJECT
public:
    explicit frmLoginForm(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* txtUserName;
    QLabel* Label2;
    QLineEdit* txtPassword;
    QCheckBox* chkSavePwd;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void done(int result) override; // unload: every way the dialog closes
    void reject() override;         // Esc is the Cancel button
    // The close box unloads the dialog without a check when the engine's default account needs no
    // password (start-up goes on with it); otherwise it ends the program as Cancel does.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override; // centred on the screen

private:
    void Form_Load();
};
