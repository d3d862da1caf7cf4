// Broadcast status polling, following the broadcast, stopping and changing it, and the exit,
// in-process against the stand-in service, which changes the broadcast as another
// administrator would. Playback is real (the system's media library on the test's Xvfb).

#include "app/TMainForm.h"
#include "platform/MessageBox.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"
#include "service/TRequestWorker.h"
#include "settings/Settings.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "widgets/TTrayIconComponent.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

using testing::AllOf;
using testing::HasSubstr;

const QString StopWarning = QStringLiteral(
    "Could not stop currently active H.264 channel. Please visit the Kavrien service site and "
    "stop the channel manually.\rError: ");

// The location the current player control plays, empty when there is none.
QByteArray PlayingMrl(TMainForm* form) {
    if (form->VlcPlayer == nullptr || LibVlcHandle == nullptr)
        return {};
    libvlc_media_player_t* player = form->VlcPlayer->GetPlayer();
    libvlc_media_t* media = player ? LibVlc.libvlc_media_player_get_media(player) : nullptr;
    if (media == nullptr)
        return {};
    char* mrl = LibVlc.libvlc_media_get_mrl(media);
    QByteArray result(mrl);
    LibVlc.libvlc_free(mrl);
    LibVlc.libvlc_media_release(media);
    return result;
}

QStringList Languages(TMainForm* form) {
    QStringList languages;
    for (int i = 0; i < form->LangCombo->count(); ++i)
        languages << form->LangCombo->itemText(i);
    return languages;
}

class BroadcastTest : public TStandInServiceSuite {
protected:
    void SetUp() override {
        TStandInServiceSuite::SetUp();
        harness = std::make_unique<TMainFormHarness>(*Service);
    }
    void TearDown() override {
        Service->ReleaseHangs();
        harness.reset();
    }

    static int LogSize() { return int(Service->Log().size()); }

    // Signs in with its own settings store; the timer's own ticks are stopped unless asked
    // for, so that the request log holds only what the test caused.
    TMainForm* SignIn(const char* user, const char* password, bool stopOnExit = false,
                      bool keepTimer = false) {
        TestEnvironment::ClearSettingsStore();
        if (stopOnExit)
            WriteCloseOnExit(true);
        TMainFormHarness::TOptions options;
        options.ClearSettings = false;
        TMainForm* form = harness->SignIn(user, password, options);
        if (form != nullptr && !keepTimer)
            form->StatusTimer->stop();
        harness->NewQueries();
        return form;
    }
    TMainForm* SignInAdmin(bool stopOnExit = false) {
        return SignIn(TStandInService::AdminUser, TStandInService::AdminPassword, stopOnExit);
    }
    TMainForm* SignInUser(bool keepTimer = false) {
        return SignIn(TStandInService::User, TStandInService::UserPassword, false, keepTimer);
    }

    // One tick of the status timer, and its reply (and a follow-up it asks for) handled.
    void Tick() {
        harness->Form()->StatusTimerTimer();
        ASSERT_TRUE(harness->WaitForRequests());
    }

    // Plays the broadcast as a click on the Current Channel label does.
    void WatchTheBroadcast() {
        QTest::mouseClick(harness->Form()->BroadcastStateLbl, Qt::LeftButton);
        ASSERT_TRUE(harness->WaitForRequests());
        ASSERT_TRUE(harness->WaitForPlaying()) << "the broadcast does not play";
        ASSERT_FALSE(harness->Form()->PlayingSource);
        harness->NewQueries();
    }

    std::unique_ptr<TMainFormHarness> harness;
};

TEST_F(BroadcastTest, AsksWhileAStatusRequestIsOutstandingAreDropped) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInUser();
    ASSERT_NE(form, nullptr);
    Service->ScriptDelay("bdcstatus", 1500);
    const int before = LogSize();
    form->StatusTimerTimer();
    ASSERT_TRUE(Service->WaitForLogSize(before + 1));
    // A tick, the menu item and a click on the label, all while the reply is awaited.
    form->StatusTimerTimer();
    form->UpdateChannelStatus1Click();
    QTest::mouseClick(form->BroadcastStateLbl, Qt::LeftButton);
    ASSERT_TRUE(harness->WaitForRequests());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=bdcstatus"});
    // The dropped click asked for nothing: its play flag did not stick to the reply.
    EXPECT_EQ(form->VlcPlayer, nullptr);
    EXPECT_TRUE(form->StatusIdle);

    // Once the reply is in, the next tick asks again.
    Tick();
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=bdcstatus"});
    EXPECT_TRUE(harness->Boxes().Calls().isEmpty());
}

TEST_F(BroadcastTest, AnOrdinaryUserWatchingTheBroadcastStopsWithinOnePollWhenItEnds) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInUser(/*keepTimer=*/true);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->StatusTimer->isActive());
    EXPECT_EQ(form->StatusTimer->interval(), 5000);
    ASSERT_NO_FATAL_FAILURE(WatchTheBroadcast());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna) - Meridian Sport (DE) (broadcast)");
    EXPECT_EQ(PlayingMrl(form), Service->Broadcast().Url);

    harness->NewQueries();
    const int before = LogSize();
    Service->EndBroadcast();
    // The timer's own next poll, and nothing more, stops the playback.
    ASSERT_TRUE(Service->WaitForLogSize(before + 1, 15000));
    ASSERT_TRUE(harness->WaitForRequests());
    EXPECT_FALSE(form->VlcPlayer->IsPlaying());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna)");
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
    EXPECT_TRUE(form->BroadcastUrl.isEmpty());
    EXPECT_TRUE(form->LastCid.isEmpty());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=bdcstatus"});
}

TEST_F(BroadcastTest, AnOrdinaryUserFollowsASwitchedBroadcastWithoutAClick) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInUser(/*keepTimer=*/true);
    ASSERT_NE(form, nullptr);
    ASSERT_NO_FATAL_FAILURE(WatchTheBroadcast());
    const QByteArray oldUrl = Service->Broadcast().Url;
    ASSERT_EQ(PlayingMrl(form), oldUrl);

    harness->NewQueries();
    const QByteArray newUrl = Service->SetBroadcast("13", "de").Url;
    ASSERT_NE(newUrl, oldUrl);
    ASSERT_TRUE(WaitUntil([&] { return PlayingMrl(form) == newUrl; }, 20000))
        << "the new broadcast was not started";
    ASSERT_TRUE(harness->WaitForPlaying());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna) - Alpine Panorama (broadcast)");
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Alpine Panorama");
    EXPECT_EQ(form->BroadcastCid, "13");
    EXPECT_EQ(form->LastCid, "13");
    // The poll that saw the change and the one it asked for at once; nothing else.
    EXPECT_EQ(harness->NewQueries(), (QList<QByteArray>{"cmd=bdcstatus", "cmd=bdcstatus"}));
    EXPECT_TRUE(harness->Boxes().Calls().isEmpty());
}

TEST_F(BroadcastTest, AnAdministratorWatchingTheBroadcastIsNotTakenAlong) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInAdmin();
    ASSERT_NE(form, nullptr);
    ASSERT_NO_FATAL_FAILURE(WatchTheBroadcast());
    TVlcPlayer* player = form->VlcPlayer;
    const QByteArray oldUrl = PlayingMrl(form);
    const QString caption = form->windowTitle();
    // The service ends the old stream itself; the client must neither stop nor replace it.
    const auto untouched = [&] {
        return form->VlcPlayer == player && !player->isHidden() &&
               player->GetState() != libvlc_Stopped && PlayingMrl(form) == oldUrl &&
               form->windowTitle() == caption;
    };

    const QByteArray newUrl = Service->SetBroadcast("11", "en").Url;
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=bdcstatus"});
    EXPECT_EQ(form->BroadcastUrl, newUrl);
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Harbour News (EN)");
    EXPECT_TRUE(untouched());

    Service->EndBroadcast();
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=bdcstatus"});
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
    EXPECT_TRUE(form->BroadcastUrl.isEmpty());
    EXPECT_FALSE(form->StopBtn->isVisible());
    EXPECT_TRUE(untouched());
}

TEST_F(BroadcastTest, UpdateChannelStatusSelectsTheBroadcastChannelForAnAdministratorOnly) {
    struct Case {
        bool Admin;
        int Row;               // selected afterwards
        QStringList Languages; // in the box afterwards
    };
    const Case cases[] = {
        {true, 3, {"en", "fr", "es"}},
        {false, 0, {"en", "de"}},
    };
    for (const Case& c : cases) {
        Service->Reset();
        TMainForm* form = c.Admin ? SignInAdmin() : SignInUser();
        ASSERT_NE(form, nullptr);
        // The user picked the first channel; then another administrator broadcasts another.
        QTest::mouseClick(form->ChannelList->viewport(), Qt::LeftButton, {},
                          form->ChannelList->visualItemRect(form->ChannelList->item(0)).center());
        ASSERT_EQ(form->ChannelList->currentRow(), 0);
        Service->SetBroadcast("14", "fr");
        form->UpdateChannelStatus1->trigger();
        ASSERT_TRUE(harness->WaitForRequests());
        EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=bdcstatus"}) << c.Admin;
        EXPECT_EQ(form->ChannelList->currentRow(), c.Row) << c.Admin;
        EXPECT_EQ(Languages(form), c.Languages) << c.Admin;
        EXPECT_EQ(form->BroadcastStateLbl->text(), "Cinema Classics (FR)") << c.Admin;
        EXPECT_EQ(form->VlcPlayer, nullptr) << "nothing plays";
    }
}

TEST_F(BroadcastTest, AClickOnNoneStillAsksWithPlay) {
    struct Case {
        const char* Name;
        const char* Cid; // broadcast started after sign-in; null: none
        const char* Caption;
    };
    const Case cases[] = {
        {"a broadcast the client did not know of", "11",
         "Kavrien Player (anna) - Harbour News (EN) (broadcast)"},
        {"no broadcast", nullptr, "Kavrien Player (anna)"},
    };
    for (const Case& c : cases) {
        Service->Reset();
        TMainForm* form = SignInUser();
        ASSERT_NE(form, nullptr);
        ASSERT_EQ(form->BroadcastStateLbl->text(), "None") << c.Name;
        if (c.Cid != nullptr)
            Service->SetBroadcast(c.Cid, "en");
        QTest::mouseClick(form->BroadcastStateLbl, Qt::LeftButton);
        ASSERT_TRUE(harness->WaitForRequests());
        EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=bdcstatus"}) << c.Name;
        if (c.Cid != nullptr) {
            EXPECT_TRUE(harness->WaitForPlaying()) << c.Name;
            EXPECT_EQ(PlayingMrl(form), Service->Broadcast().Url) << c.Name;
            EXPECT_EQ(form->LastCid, c.Cid);
        } else {
            EXPECT_EQ(form->VlcPlayer, nullptr) << c.Name;
        }
        EXPECT_EQ(form->windowTitle(), c.Caption) << c.Name;
        EXPECT_TRUE(harness->Boxes().Calls().isEmpty()) << c.Name;
    }
}

TEST_F(BroadcastTest, ABroadcastOfAnUnlistedChannelOnlyUpdatesTheUrl) {
    Service->SetBroadcast("12", "fr");
    TMainForm* form = SignInUser();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (FR)");
    const QByteArray url = "https://127.0.0.1:1/broadcast/unlisted.ts";
    Service->ScriptReply("bdcstatus", "1;99;en;" + url);
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(form->BroadcastUrl, url);
    EXPECT_EQ(form->BroadcastCid, "12");
    EXPECT_EQ(form->BroadcastLang, "fr");
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (FR)");
    EXPECT_TRUE(harness->Boxes().Calls().isEmpty());
}

TEST_F(BroadcastTest, AStatusErrorReplyStopsTheTimerShowsTheMessageAndEndsWithOne) {
    EXPECT_EXIT(
        {
            TMainForm* form = SignIn(TStandInService::User, TStandInService::UserPassword, false,
                                     /*keepTimer=*/true);
            if (form == nullptr)
                std::_Exit(3);
            harness->Boxes().OnShow = [form](const TMessageBoxCall&) {
                std::fprintf(stderr, "TIMER ACTIVE %d\n", form->StatusTimer->isActive());
            };
            Service->ScriptReply("bdcstatus", "ERR");
            form->StatusTimerTimer();
            WaitUntil([] { return false; }, 15000);
        },
        testing::ExitedWithCode(1),
        AllOf(HasSubstr("TIMER ACTIVE 0\n"),
              HasSubstr("MESSAGEBOX stop owned Kavrien Player (anna)|Could not get status. "
                        "Please contact service administrator.\\rError: Error executing "
                        "command\nPROCESS EXIT 1")));
}

TEST_F(BroadcastTest, StopWhileAnAdministratorWatchesASourceStreamKeepsItPlaying) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInAdmin();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->StopBtn->isVisible());
    harness->Watch(0);
    ASSERT_TRUE(harness->WaitForPlaying());
    ASSERT_TRUE(form->PlayingSource);
    TVlcPlayer* player = form->VlcPlayer;
    harness->NewQueries();

    QTest::mouseClick(form->StopBtn, Qt::LeftButton);
    ASSERT_TRUE(harness->WaitForRequests());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=stopbdc"});
    EXPECT_FALSE(Service->Broadcast().Running);
    EXPECT_EQ(form->VlcPlayer, player);
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (admin) - Harbour News");
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
    EXPECT_FALSE(form->StopBtn->isVisible());
    EXPECT_FALSE(form->StopChannel1->isEnabled());
    EXPECT_TRUE(form->BroadcastUrl.isEmpty() && form->BroadcastCid.isEmpty() &&
                form->BroadcastLang.isEmpty());
    EXPECT_TRUE(harness->Boxes().Calls().isEmpty());
}

TEST_F(BroadcastTest, StopWhileAnAdministratorWatchesTheBroadcastStopsThePlayback) {
    Service->SetBroadcast("11", "de");
    TMainForm* form = SignInAdmin();
    ASSERT_NE(form, nullptr);
    ASSERT_NO_FATAL_FAILURE(WatchTheBroadcast());
    harness->NewQueries();
    form->StopChannel1->trigger();
    ASSERT_TRUE(harness->WaitForRequests());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=stopbdc"});
    EXPECT_FALSE(form->VlcPlayer->IsPlaying());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (admin)");
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
}

TEST_F(BroadcastTest, AFailedStopShowsTheWarningAndChangesNothing) {
    struct Case {
        const char* Name;
        int Status;        // HTTP status, or 0
        const char* Reply; // reply text when Status is 0
        QString Error;
    };
    const Case cases[] = {
        {"HTTP 500", 500, nullptr, "HTTP/1.1 500 Internal Server Error"},
        {"a reply code", 0, "ERR", "Error executing command"},
    };
    for (const Case& c : cases) {
        Service->Reset();
        Service->SetBroadcast("12", "de");
        TMainForm* form = SignInAdmin();
        ASSERT_NE(form, nullptr);
        const QByteArray url = form->BroadcastUrl;
        if (c.Reply != nullptr)
            Service->ScriptReply("stopbdc", c.Reply);
        else
            Service->ScriptStatus("stopbdc", c.Status);
        QTest::mouseClick(form->StopBtn, Qt::LeftButton);
        ASSERT_TRUE(harness->WaitForRequests());
        EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=stopbdc"}) << c.Name;
        ASSERT_EQ(harness->Boxes().Calls().size(), 1) << c.Name;
        const TMessageBoxCall box = harness->Boxes().Calls().first();
        EXPECT_EQ(box.Text, StopWarning + c.Error) << c.Name;
        EXPECT_EQ(box.Icon, TMessageIcon::Warning) << c.Name;
        EXPECT_EQ(box.Owner, form) << c.Name;
        EXPECT_EQ(box.Title, "Kavrien Player (admin)") << c.Name;
        // Nothing changed: the administrator may try again.
        EXPECT_EQ(form->BroadcastUrl, url) << c.Name;
        EXPECT_EQ(form->BroadcastCid, "12") << c.Name;
        EXPECT_EQ(form->BroadcastLang, "de") << c.Name;
        EXPECT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (DE)") << c.Name;
        EXPECT_TRUE(form->StopBtn->isVisible()) << c.Name;
        EXPECT_TRUE(Service->Broadcast().Running) << c.Name;
        harness->Boxes().Clear();
    }
}

TEST_F(BroadcastTest, AStopThatCannotReachTheServiceShowsTheTransportError) {
    auto own = std::make_unique<TStandInService>();
    ASSERT_TRUE(own->IsRunning());
    own->SetBroadcast("12", "de");
    TMainFormHarness local(*own);
    TestEnvironment::ClearSettingsStore();
    TMainForm* form = local.SignIn(TStandInService::AdminUser, TStandInService::AdminPassword);
    ASSERT_NE(form, nullptr);
    form->StatusTimer->stop();
    const QByteArray url = form->BroadcastUrl;
    own.reset(); // the service is gone

    QTest::mouseClick(form->StopBtn, Qt::LeftButton);
    ASSERT_TRUE(local.WaitForRequests(40000));
    ASSERT_EQ(local.Boxes().Calls().size(), 1);
    const TMessageBoxCall box = local.Boxes().Calls().first();
    EXPECT_TRUE(form->Requests->RequestFailed);
    EXPECT_THAT(form->Requests->RequestError.toStdString(), HasSubstr("127.0.0.1"));
    EXPECT_EQ(box.Text, StopWarning + form->Requests->RequestError);
    EXPECT_EQ(box.Icon, TMessageIcon::Warning);
    EXPECT_EQ(form->BroadcastUrl, url);
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (DE)");
    EXPECT_TRUE(form->StopBtn->isVisible());
}

TEST_F(BroadcastTest, ChangeCurrentChannelChangesOnlyTheBroadcastAndTheSourceStreamPlaysOn) {
    TMainForm* form = SignInAdmin();
    ASSERT_NE(form, nullptr);
    harness->Watch(0);
    ASSERT_TRUE(harness->WaitForPlaying());
    TVlcPlayer* player = form->VlcPlayer;
    harness->NewQueries();

    form->SelectChannelRow(1);
    form->ChangeCurrentChannel1->trigger();
    ASSERT_TRUE(harness->WaitForRequests());
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=startbdc&cid=12&lang=en"});
    EXPECT_TRUE(Service->Broadcast().Running);
    EXPECT_EQ(Service->Broadcast().Cid, "12");
    EXPECT_EQ(form->BroadcastUrl, Service->Broadcast().Url);
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (EN)");
    EXPECT_TRUE(form->StopBtn->isVisible());
    EXPECT_EQ(form->VlcPlayer, player);
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (admin) - Harbour News");
    EXPECT_FALSE(form->ChangeBroadcastOnly);

    // The next watch is an ordinary one again.
    harness->Watch(2);
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=link&cid=13&us=0"});
}

TEST_F(BroadcastTest, ChangeCurrentChannelWithoutASelectedRowLeavesTheNextWatchOrdinary) {
    TMainForm* form = SignInAdmin();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->ChannelList->currentRow(), -1);
    form->ChangeCurrentChannel1Click();
    ProcessEventsFor(200);
    EXPECT_TRUE(harness->NewQueries().isEmpty());
    EXPECT_FALSE(form->ChangeBroadcastOnly);

    harness->Watch(0);
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=link&cid=11&us=0"});
    EXPECT_TRUE(harness->WaitForPlaying()) << "a double click plays again";
}

TEST_F(BroadcastTest, AnAdministratorsExitWithStopOnExitStopsTheBroadcastAndWaitsForTheReply) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInAdmin(/*stopOnExit=*/true);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->StopBroadcastOnExit);
    ASSERT_NO_FATAL_FAILURE(WatchTheBroadcast());
    form->StatusTimer->start();
    harness->NewQueries();
    Service->ScriptDelay("stopbdc", 1500);

    QElapsedTimer clock;
    clock.start();
    form->Exit2->trigger();
    const qint64 elapsed = clock.elapsed();
    EXPECT_FALSE(form->isVisible()) << "the close was accepted";
    EXPECT_EQ(harness->NewQueries(), QList<QByteArray>{"cmd=stopbdc"});
    // The stop's reply was handled before the close went on.
    EXPECT_GE(elapsed, 1500);
    EXPECT_TRUE(form->BroadcastUrl.isEmpty());
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
    EXPECT_FALSE(Service->Broadcast().Running);
    EXPECT_FALSE(form->StatusTimer->isActive());
    EXPECT_FALSE(form->VlcPlayer->IsPlaying());
    EXPECT_TRUE(harness->Boxes().Calls().isEmpty());
    // Exiting keeps the last channel for the next start.
    EXPECT_EQ(ReadLastCid(), "12");
}

TEST_F(BroadcastTest, OnlyAnExitWithStopOnExitSendsTheStop) {
    struct Case {
        const char* Name;
        bool StopOnExit;
        bool Exit; // false: closed to the tray
    };
    const Case cases[] = {
        {"exit without Stop on Exit", false, true},
        {"close to the tray with Stop on Exit", true, false},
    };
    for (const Case& c : cases) {
        Service->Reset();
        Service->SetBroadcast("12", "de");
        TMainForm* form = SignInAdmin(c.StopOnExit);
        ASSERT_NE(form, nullptr);
        if (c.Exit)
            form->Exit2Click();
        else
            form->Minimizetotray1->trigger();
        ProcessEventsFor(300);
        EXPECT_TRUE(harness->NewQueries().isEmpty()) << c.Name;
        EXPECT_TRUE(Service->Broadcast().Running) << c.Name;
        EXPECT_FALSE(form->BroadcastUrl.isEmpty()) << c.Name;
    }
}

TEST_F(BroadcastTest, AStopThatHangsHoldsTheExitForAboutTenSeconds) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInAdmin(/*stopOnExit=*/true);
    ASSERT_NE(form, nullptr);
    Service->ScriptHang("stopbdc");

    QElapsedTimer clock;
    clock.start();
    form->Exit2Click();
    const qint64 elapsed = clock.elapsed();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Service->Hanging(), 1);
    EXPECT_GE(elapsed, TMainForm::ExitRequestWaitMs - 100);
    EXPECT_LT(elapsed, TMainForm::ExitRequestWaitMs + 5000);
    EXPECT_FALSE(form->BroadcastUrl.isEmpty()) << "no reply came";
}

TEST_F(BroadcastTest, WhileTheExitWaitsTheWindowTakesNoCommandsAndStartsNothing) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInAdmin(/*stopOnExit=*/true);
    ASSERT_NE(form, nullptr);
    // A click on the label before the exit: its status reply comes during the wait.
    Service->ScriptDelay("bdcstatus", 800);
    QTest::mouseClick(form->BroadcastStateLbl, Qt::LeftButton);
    Service->ScriptDelay("stopbdc", 1500);
    bool tried = false;
    QTimer::singleShot(400, form, [&] {
        // A double click on a channel, Resume and a second exit, all while the exit waits.
        QListWidget* list = form->ChannelList;
        const QPoint row = list->visualItemRect(list->item(1)).center();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseClick(form->BroadcastStateLbl, Qt::LeftButton);
        form->Resume1Click();
        form->Exit2Click();
        form->close();
        tried = true;
    });
    form->Exit2Click();
    EXPECT_TRUE(tried);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(harness->NewQueries(), (QList<QByteArray>{"cmd=bdcstatus", "cmd=stopbdc"}));
    EXPECT_TRUE(form->VlcPlayer == nullptr || !form->VlcPlayer->IsPlaying())
        << "the label's reply did not start the broadcast";
    EXPECT_FALSE(form->StatusTimer->isActive());
    EXPECT_FALSE(form->TrayIcon->IconVisible());
    EXPECT_TRUE(harness->Boxes().Calls().isEmpty());
}

TEST_F(BroadcastTest, AFailedStopOnExitIsReportedAndTheProgramStillEnds) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignInAdmin(/*stopOnExit=*/true);
    ASSERT_NE(form, nullptr);
    Service->ScriptStatus("stopbdc", 500);
    form->Exit2Click();
    EXPECT_FALSE(form->isVisible());
    ASSERT_EQ(harness->Boxes().Calls().size(), 1);
    EXPECT_EQ(harness->Boxes().Calls().first().Text,
              StopWarning + "HTTP/1.1 500 Internal Server Error");
    EXPECT_EQ(harness->Boxes().Calls().first().Icon, TMessageIcon::Warning);
}

} // namespace
