#include "CKelmarOptions.h"
#include "board_test_fixture.h"
#include "frmLoginForm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

using namespace boardtest;

namespace {

class Login : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
        const std::string workgroup = dir.filePath("system.mdw").toStdString();
        dao::Workgroup::create(workgroup);
        dao::Workgroup(workgroup).addAccount("clerk", "pw", dao::Permission::ReadWrite);
        dao::Workgroup(workgroup).addAccount("nopw", "", dao::Permission::ReadWrite);
        SaveSetting("Kelmar", "Options", "SystemDB", workgroup);
        frmMain::instance(); // its initialise handler makes the options and points the engine
    }
    bool tryLogin(frmLoginForm& login, const char* user, const char* password) {
        login.txtUserName->setText(user);
        login.txtPassword->setText(password);
        login.cmdOK_Click();
        return login.result() == QDialog::Accepted;
    }
};

} // namespace

TEST_F(Login, FirstRunAsksForEverything) {
    frmLoginForm login;
    EXPECT_EQ(login.txtUserName->text(), "");
    EXPECT_EQ(login.txtPassword->text(), "");
    EXPECT_FALSE(login.chkSavePwd->isChecked());
    EXPECT_EQ(login.windowTitle(), "Please Login");
}

TEST_F(Login, ARememberedNameTicksSaveEvenWithoutPassword) {
    SaveSetting("Kelmar", "Options", "UserName", "clerk");
    basGlobals::gOptions = std::make_unique<CKelmarOptions>("");
    frmLoginForm login;
    EXPECT_EQ(login.txtUserName->text(), "clerk");
    EXPECT_EQ(login.txtPassword->text(), "");
    EXPECT_TRUE(login.chkSavePwd->isChecked());
}

TEST_F(Login, FailedAttemptsSayWhyAndTheGoodPairBecomesTheDefault) {
    frmLoginForm login;
    EXPECT_FALSE(tryLogin(login, "clerk", "wrong"));
    EXPECT_FALSE(tryLogin(login, "nobody", "pw"));
    ASSERT_EQ(dialogs->shown().size(), 2u);
    const std::string& message = dialogs->shown()[0].prompt;
    EXPECT_TRUE(message.size() > 15 && message.substr(message.size() - 15) == "  Please retry.") << message;
    EXPECT_EQ(dialogs->shown()[0].title, "Dorvane");
    EXPECT_TRUE(tryLogin(login, "clerk", "pw"));
    EXPECT_EQ(dao::engine().DefaultUser(), "clerk");
    EXPECT_EQ(dao::engine().DefaultPassword(), "pw");
    EXPECT_EQ(basGlobals::gUserName, "clerk");
    EXPECT_EQ(basGlobals::gUserPassword, "pw");
}

TEST_F(Login, SavePasswordDecidesWhatIsRemembered) {
    SaveSetting("Kelmar", "Options", "UserName", "old");
    SaveSetting("Kelmar", "Options", "UserPW", "oldpw");
    {
        frmLoginForm login;
        login.chkSavePwd->setChecked(false);
        EXPECT_TRUE(tryLogin(login, "clerk", "pw"));
        EXPECT_EQ(GetSetting("Kelmar", "Options", "UserName"), "old");
        EXPECT_EQ(GetSetting("Kelmar", "Options", "UserPW"), "oldpw");
    }
    frmLoginForm login;
    login.chkSavePwd->setChecked(true);
    EXPECT_TRUE(tryLogin(login, "nopw", ""));
    EXPECT_EQ(GetSetting("Kelmar", "Options", "UserName"), "nopw");
    EXPECT_EQ(GetSetting("Kelmar", "Options", "UserPW", "absent"), "");
}

TEST_F(Login, CancelEndsTheProgramBeforeTheBoardShows) {
    frmLoginForm login;
    EXPECT_THROW(login.cmdCancel->click(), ProgramEnded);
    EXPECT_FALSE(frmShipments::exists());
}

// The close box goes on without a check only where the engine's default account needs no password;
// where the workgroup asks for one it ends the program like Cancel, whatever the options name.
TEST_F(Login, TheCloseBoxNeverLetsAnyoneInWithoutTheirPassword) {
    {
        frmLoginForm login; // the engine's built-in "Admin" is no account of this workgroup
        login.show();
        EXPECT_THROW(login.close(), ProgramEnded);
    }
    SaveSetting("Kelmar", "Options", "DefaultUser", "clerk");
    SaveSetting("Kelmar", "Options", "DefaultPW", "pw");
    delete &frmMain::instance();
    frmMain::instance();
    ASSERT_EQ(dao::engine().DefaultUser(), "clerk");
    {
        frmLoginForm login; // an administrator stored with a password
        login.show();
        EXPECT_THROW(login.close(), ProgramEnded);
    }
    SaveSetting("Kelmar", "Options", "DefaultUser", "nopw");
    SaveSetting("Kelmar", "Options", "DefaultPW", "");
    delete &frmMain::instance();
    frmMain::instance();
    basGlobals::gRefreshPending = true;
    frmLoginForm login; // an account without a password: start-up goes on as it
    login.show();
    EXPECT_NO_THROW(login.close());
    EXPECT_FALSE(login.isVisible());
    EXPECT_FALSE(basGlobals::gRefreshPending);
    EXPECT_EQ(dao::engine().DefaultUser(), "nopw");
}

TEST_F(BoardFixture, WithoutAWorkgroupTheCloseBoxGoesOnAsTheBuiltInAccount) {
    frmMain::instance();
    frmLoginForm login;
    login.show();
    EXPECT_NO_THROW(login.close());
    EXPECT_FALSE(login.isVisible());
}

// What a user sees: the password masked with "*", a dialog of fixed size in the middle of the screen.
TEST_F(Login, ThePasswordIsMaskedAndTheDialogSitsFixedInTheMiddle) {
    frmLoginForm login;
    login.txtPassword->setText("secret");
    EXPECT_EQ(login.txtPassword->displayText(), "******");
    login.show();
    EXPECT_EQ(login.minimumSize(), login.maximumSize()) << "fixed size";
    const QRect screen = login.screen()->availableGeometry();
    EXPECT_LE((login.frameGeometry().center() - screen.center()).manhattanLength(), 4);
}
