// Closing the main window to the tray and bringing it back, in-process on the test's Xvfb
// with a real tray host (trayer) and real clicks on the icon (xdotool); and what closing
// does when no tray host runs.

#include "app/TMainForm.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"
#include "service/TRequestWorker.h"
#include "settings/Settings.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TTrayHost.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "widgets/TTrayIconComponent.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using P = TProgramUnderTest;

bool Docked(TMainForm* form) {
    return !form->TrayIcon->SystemTrayIcon()->geometry().isEmpty();
}

void ClickAt(const QPoint& at, int button, int repeat = 1) {
    P::XDoTool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "--repeat",
                QString::number(repeat), "--delay", "60", QString::number(button)});
}

class TrayTest : public TStandInServiceSuite {
protected:
    void SetUp() override {
        TStandInServiceSuite::SetUp();
        harness = std::make_unique<TMainFormHarness>(*Service);
    }
    void TearDown() override { harness.reset(); }

    // Signs in, plays the first channel (Harbour News).
    TMainForm* SignInAndWatch(const char* user, const char* password, bool stopOnExit = false) {
        TestEnvironment::ClearSettingsStore();
        if (stopOnExit)
            WriteCloseOnExit(true);
        TMainFormHarness::TOptions options;
        options.ClearSettings = false;
        TMainForm* form = harness->SignIn(user, password, options);
        if (form == nullptr)
            return nullptr;
        harness->Watch(0);
        EXPECT_TRUE(harness->WaitForPlaying());
        EXPECT_EQ(ReadLastCid(), "11");
        harness->NewQueries();
        return form;
    }

    // The window in the tray: closed while playing, the icon docked with its tooltip.
    void ExpectInTheTray(TMainForm* form, const QString& caption) {
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(form->VlcPlayer == nullptr || !form->VlcPlayer->IsPlaying());
        EXPECT_EQ(form->windowTitle(), caption);
        EXPECT_TRUE(form->LastCid.isEmpty());
        EXPECT_EQ(ReadLastCid(), "") << "the cleared channel is stored";
        EXPECT_FALSE(form->StatusTimer->isActive());
        EXPECT_TRUE(form->TrayIcon->IconVisible());
        EXPECT_TRUE(WaitUntil([form] { return Docked(form); }, 20000)) << "no icon in the tray";
        EXPECT_EQ(form->TrayIcon->SystemTrayIcon()->toolTip(), caption);
        // Let the tray host settle the icon's place before it is clicked.
        ProcessEventsFor(300);
    }

    // Back from the tray: shown in front of other windows, the icon gone, the timer on.
    void ExpectResumed(TMainForm* form, QWidget* other) {
        ASSERT_TRUE(WaitUntil([form] { return form->isVisible(); })) << "the window is not back";
        EXPECT_TRUE(WaitUntil([form] { return form->isActiveWindow(); }));
        EXPECT_EQ(QApplication::topLevelAt(form->geometry().center()), form)
            << "the window is not in front";
        EXPECT_TRUE(form->StatusTimer->isActive());
        EXPECT_FALSE(form->TrayIcon->IconVisible());
        EXPECT_TRUE(WaitUntil([form] { return !Docked(form); })) << "the icon stayed";
        EXPECT_TRUE(other->isVisible());
    }

    // Opens the tray menu with a real right click on the icon and chooses an item.
    void ChooseFromTheTrayMenu(TMainForm* form, QAction* item) {
        ClickAt(form->TrayIcon->SystemTrayIcon()->geometry().center(), 3);
        ASSERT_TRUE(WaitUntil([form] { return form->TrayMenu->isVisible(); })) << "no menu";
        ProcessEventsFor(200);
        const QRect place = form->TrayMenu->actionGeometry(item);
        ClickAt(form->TrayMenu->mapToGlobal(place.center()), 1);
    }

    std::unique_ptr<TMainFormHarness> harness;
    TTrayHost host;
};

TEST_F(TrayTest, ClosingWhilePlayingHidesToTheTrayAndTheIconBringsTheWindowBack) {
    ASSERT_NO_FATAL_FAILURE(host.Start());
    TMainForm* form = SignInAndWatch(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(form, nullptr);
    // Another window over the main window: coming back puts the main window in front.
    // Both clear of the tray along the top edge.
    form->move(80, 120);
    QWidget other;
    other.setWindowTitle(QStringLiteral("Another program"));
    other.setGeometry(form->geometry());

    struct Case {
        const char* Name;
        bool ByMenuItem;    // "&Minimize to Tray" rather than the close box
        bool ByDoubleClick; // rather than the menu's "&Resume"
    };
    const Case cases[] = {
        {"close box, double click", false, true},
        {"Minimize to Tray, Resume", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (form->VlcPlayer == nullptr || !form->VlcPlayer->IsPlaying()) {
            harness->Watch(0);
            ASSERT_TRUE(harness->WaitForPlaying());
            harness->NewQueries();
        }
        if (c.ByMenuItem)
            form->Minimizetotray1->trigger();
        else
            EXPECT_FALSE(form->close()) << "the close is refused";
        ExpectInTheTray(form, QStringLiteral("Kavrien Player (anna)"));
        other.show();
        other.raise();
        ASSERT_TRUE(WaitUntil(
            [&] { return QApplication::topLevelAt(other.geometry().center()) == &other; }));

        if (c.ByDoubleClick)
            ClickAt(form->TrayIcon->SystemTrayIcon()->geometry().center(), 1, 2);
        else
            ASSERT_NO_FATAL_FAILURE(ChooseFromTheTrayMenu(form, form->Resume1));
        ASSERT_NO_FATAL_FAILURE(ExpectResumed(form, &other));
        EXPECT_TRUE(harness->NewQueries().isEmpty()) << "closing and coming back ask nothing";
        other.hide();
    }
}

TEST_F(TrayTest, AStreamStillOpeningWhenTheWindowClosesIsStoppedToo) {
    TestEnvironment::ClearSettingsStore();
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(form, nullptr);
    harness->Watch(0); // the link reply is in; the player has only begun to open the stream
    ASSERT_NE(form->VlcPlayer, nullptr);
    ASSERT_FALSE(form->VlcPlayer->IsPlaying());
    EXPECT_FALSE(form->close());
    // Long enough for a stream left running to reach the playing state.
    ProcessEventsFor(4000);
    EXPECT_FALSE(form->VlcPlayer->IsPlaying()) << "the hidden player plays on";
    EXPECT_EQ(form->VlcPlayer->GetState(), libvlc_Stopped);
}

TEST_F(TrayTest, AClickOnTheBroadcastJustBeforeTheCloseStartsNothingInTheTray) {
    ASSERT_NO_FATAL_FAILURE(host.Start());
    Service->SetBroadcast("12", "de");
    TestEnvironment::ClearSettingsStore();
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(form, nullptr);
    Service->ScriptDelay("bdcstatus", 1000);
    form->BroadcastStateLblClick();
    EXPECT_FALSE(form->close());
    ASSERT_TRUE(harness->WaitForRequests());
    ProcessEventsFor(500);
    EXPECT_EQ(form->VlcPlayer, nullptr) << "the broadcast started in the tray";
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna)");
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (DE)") << "the reply was taken";
}

TEST_F(TrayTest, AStartReplyThatArrivesAfterTheCloseStartsNothingInTheTray) {
    ASSERT_NO_FATAL_FAILURE(host.Start());
    TestEnvironment::ClearSettingsStore();
    TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(form, nullptr);
    Service->ScriptDelay("link", 1000);
    form->ChannelList->setCurrentRow(1);
    form->ChannelListDblClick(); // the double click, then the close before the reply
    EXPECT_FALSE(form->close());
    ASSERT_TRUE(harness->WaitForRequests());
    ProcessEventsFor(500);
    EXPECT_TRUE(form->VlcPlayer == nullptr || !form->VlcPlayer->isVisible());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna)");
    EXPECT_EQ(ReadLastCid(), "") << "nothing was watched";
}

TEST_F(TrayTest, ExitFromTheTrayMenuEndsFromTheTrayAndTakesTheIconAlong) {
    ASSERT_NO_FATAL_FAILURE(host.Start());
    Service->SetBroadcast("12", "de");
    TMainForm* form =
        SignInAndWatch(TStandInService::AdminUser, TStandInService::AdminPassword, true);
    ASSERT_NE(form, nullptr);
    form->close();
    ExpectInTheTray(form, QStringLiteral("Kavrien Player (admin)"));
    EXPECT_TRUE(harness->NewQueries().isEmpty()) << "closing to the tray stops nothing";

    ASSERT_NO_FATAL_FAILURE(ChooseFromTheTrayMenu(form, form->Exit1));
    ASSERT_TRUE(WaitUntil([form] { return form->ExitInProgress; })) << "Exit did not run";
    EXPECT_TRUE(harness->WaitForRequests());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=stopbdc"});
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->TrayIcon->IconVisible());
    EXPECT_TRUE(WaitUntil([form] { return !Docked(form); })) << "the icon stayed";
}

TEST_F(TrayTest, TheTooltipIsTheSignInCaptionCutTo127Characters) {
    // The stand-in knows no such user; its scripted replies sign the long name in.
    const QByteArray name(120, 'k');
    Service->ScriptReply("test", "OK");
    Service->ScriptReply("getperms", "user");
    Service->ScriptReply("bdcstatus", "0;");
    Service->ScriptReply("listnew", TStandInService::DemoChannelListReply());
    TestEnvironment::ClearSettingsStore();
    TMainForm* form = harness->SignIn(name.constData(), "any");
    ASSERT_NE(form, nullptr);
    form->StatusTimer->stop(); // the service would refuse the name's next poll
    const QString caption = QStringLiteral("Kavrien Player (%1)").arg(QString::fromLatin1(name));
    ASSERT_EQ(form->windowTitle(), caption);
    form->close();
    EXPECT_TRUE(form->TrayIcon->IconVisible());
    EXPECT_EQ(form->TrayIcon->Hint(), caption);
    EXPECT_EQ(form->TrayIcon->SystemTrayIcon()->toolTip(), caption.left(127));
}

TEST_F(TrayTest, WithoutATrayHostClosingMinimisesAndRestoringResumes) {
    ASSERT_FALSE(TTrayHost::Available());
    TMainForm* form = SignInAndWatch(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isMinimized());
    EXPECT_FALSE(form->VlcPlayer->IsPlaying());
    EXPECT_FALSE(form->StatusTimer->isActive());
    EXPECT_EQ(ReadLastCid(), "");
    // The icon is asked for all the same, so that a host starting later shows it.
    EXPECT_TRUE(form->TrayIcon->IconVisible());

    // Restored from the taskbar, as the window manager reports it.
    form->setWindowState(Qt::WindowNoState);
    ASSERT_TRUE(WaitUntil([form] { return form->StatusTimer->isActive(); }))
        << "restoring did not resume";
    EXPECT_FALSE(form->isMinimized());
    EXPECT_FALSE(form->TrayIcon->IconVisible());

    // Closed again; this time a tray host starts meanwhile: its icon brings the window back.
    EXPECT_FALSE(form->close());
    ASSERT_TRUE(form->isMinimized());
    ASSERT_NO_FATAL_FAILURE(host.Start());
    ASSERT_TRUE(WaitUntil([form] { return Docked(form); }, 20000)) << "the icon did not come";
    ProcessEventsFor(300);
    ClickAt(form->TrayIcon->SystemTrayIcon()->geometry().center(), 1, 2);
    ASSERT_TRUE(WaitUntil([form] { return form->StatusTimer->isActive(); }));
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(WaitUntil([form] { return !Docked(form); }));
    EXPECT_TRUE(harness->NewQueries().isEmpty());
}

} // namespace
