#include "CKelmarOptions.h"
#include "board_test_support.h"
#include "frmLoginForm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace testing_support;

namespace {

class Login : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
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
    // Closing with the close box is no Cancel: the start-up goes on.
    basGlobals::gRefreshPending = true;
    frmLoginForm other;
    other.show();
    EXPECT_NO_THROW(other.close());
    EXPECT_FALSE(basGlobals::gRefreshPending);
}
