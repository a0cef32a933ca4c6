#include "board_test_fixture.h"
#include "frmRefresh.h"
#include "live_board.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace boardtest;
using basGlobals::gAutoRefresh;
using basGlobals::gRefreshInterval;

namespace {
class Refresh : public BoardFixture {
protected:
    void SetUp() override {
        BoardFixture::SetUp();
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
    // Live updates are on by default; turning them off stops the board looking at once.
    EXPECT_TRUE(dialog.chkLiveUpdates->isChecked());
    dialog.chkLiveUpdates->click();
    EXPECT_EQ(stored("Live"), "False");
    EXPECT_FALSE(frmShipments::instance().liveBoard()->enabled());
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
        EXPECT_EQ(stored("Interval"), "2.5") << bad << " is not stored: it would read as 0 next start";
        EXPECT_EQ(gRefreshInterval, 2) << bad << " keeps the previous interval";
    }
}

TEST_F(Refresh, AnIntervalThatIsNoNumberIsRefusedWithAMessage) {
    gAutoRefresh = true;
    gRefreshInterval = 7;
    frmRefresh dialog;
    dialog.show();
    dialog.txtRefreshTimer->setText("abc");
    dialog.cmdOK->click();
    EXPECT_TRUE(dialog.isVisible()) << "OK refused";
    ASSERT_EQ(dialogs->shown().size(), 1u);
    EXPECT_NE(dialogs->shown()[0].prompt.find("\"abc\" is not a number of minutes"), std::string::npos);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible()) << "the close box too";
    EXPECT_EQ(dialogs->shown().size(), 2u);
    EXPECT_EQ(stored("Interval"), "7");
    dialog.txtRefreshTimer->setText("3");
    dialog.cmdOK->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(stored("Interval"), "3");
    // With the refresh off the interval is not used: the dialog closes, the stored one stays good.
    frmRefresh off;
    off.show();
    off.chkAutoRefresh->click();
    off.txtRefreshTimer->setText("abc");
    off.cmdOK->click();
    EXPECT_FALSE(off.isVisible());
    EXPECT_EQ(stored("Interval"), "3");
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
        dialog.chkLiveUpdates->click();
        dialog.cmdCancel->click();
    }
    EXPECT_EQ(stored("Live"), "True");
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
