#include "board_test_support.h"
#include "frmRefresh.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace testing_support;
using basGlobals::gAutoRefresh;
using basGlobals::gRefreshInterval;

namespace {
class Refresh : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        frmMain::instance();
    }
    std::string stored(const char* key) { return GetSetting("Dorvane", "Refresh", key, "<none>"); }
};
} // namespace

TEST_F(Refresh, OpensWithTheCurrentStateAndTurningOnFillsFive) {
    gAutoRefresh = false;
    gRefreshInterval = 0;
    frmRefresh dialog;
    EXPECT_FALSE(dialog.chkAutoRefresh->isChecked());
    EXPECT_FALSE(dialog.txtRefreshTimer->isEnabled());
    EXPECT_FALSE(dialog.lblRefreshPrompt[0]->isEnabled());
    EXPECT_EQ(dialog.txtRefreshTimer->text(), "0");
    dialog.txtRefreshTimer->clear();
    dialog.chkAutoRefresh->click();
    EXPECT_EQ(dialog.txtRefreshTimer->text(), "5");
    EXPECT_TRUE(dialog.txtRefreshTimer->isEnabled());
    EXPECT_EQ(stored("Interval"), "5");
    EXPECT_EQ(stored("Enabled"), "True");
    EXPECT_TRUE(gAutoRefresh);
    EXPECT_EQ(gRefreshInterval, 5);
}

TEST_F(Refresh, TypingStoresEachKeystrokeAndKeepsTheLastGoodInterval) {
    gAutoRefresh = true;
    gRefreshInterval = 7;
    frmRefresh dialog;
    dialog.txtRefreshTimer->clear();
    QTest::keyClicks(dialog.txtRefreshTimer, "10");
    EXPECT_EQ(stored("Interval"), "10");
    EXPECT_EQ(gRefreshInterval, 10);
    dialog.txtRefreshTimer->setText("2.5");
    EXPECT_EQ(gRefreshInterval, 2) << "halves round to even";
    for (const char* bad : {"abc", "99999", "-3", ""}) {
        dialog.txtRefreshTimer->setText(bad);
        EXPECT_EQ(stored("Interval"), bad) << "stored as typed";
        EXPECT_EQ(gRefreshInterval, 2) << bad << " keeps the previous interval";
    }
}

TEST_F(Refresh, CancelPutsEverythingBackTheCloseBoxKeepsIt) {
    gAutoRefresh = false;
    gRefreshInterval = 4;
    SaveSetting("Dorvane", "Refresh", "Interval", "4");
    SaveSetting("Dorvane", "Refresh", "Enabled", "False");
    {
        frmRefresh dialog;
        dialog.chkAutoRefresh->click();
        dialog.txtRefreshTimer->setText("12");
        dialog.cmdCancel->click();
    }
    EXPECT_FALSE(gAutoRefresh);
    EXPECT_EQ(gRefreshInterval, 4);
    EXPECT_EQ(stored("Interval"), "4");
    EXPECT_EQ(stored("Enabled"), "False");
    {
        frmRefresh dialog;
        dialog.show();
        dialog.chkAutoRefresh->click();
        dialog.txtRefreshTimer->setText("12");
        dialog.close();
    }
    EXPECT_TRUE(gAutoRefresh);
    EXPECT_EQ(gRefreshInterval, 12);
    EXPECT_EQ(stored("Enabled"), "True");
}
