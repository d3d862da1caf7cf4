// Watching a channel in the signed-in window: which request goes out, the start reply, the
// player that plays it (real media library, real streams of the stand-in service), captions,
// stepping, restoring and stopping, and the audio language of what plays.

#include "app/ApplicationTitle.h"
#include "app/TMainForm.h"
#include "player/TVlcLibrary.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"
#include "settings/Settings.h"
#include "tests/app/MainFormInput.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace MainFormInput;
using TOptions = std::vector<std::string>;

// Table rows print as their names in the failure messages.
template <typename TCase>
requires requires(const TCase& c) {
    c.Name;
}
void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Name;
}

// What every player of the main window starts with: the control's own options, then the
// window's "--verbose=0".
const TOptions PlayerOptions{"--ignore-config",
                             "--no-one-instance",
                             "--intf=dummy",
                             "--quiet",
                             "--drop-late-frames",
                             "--spu",
                             "--osd",
                             "--no-video-on-top",
                             "--no-overlay",
                             "--no-snapshot-preview",
                             "--verbose=0"};

TOptions SourceOptions(int track) {
    TOptions options = PlayerOptions;
    options.insert(options.end(), {"--video-filter=deinterlace", "--sout-deinterlace-mode=yadif",
                                   "--audio-track=" + std::to_string(track)});
    return options;
}

// The id of the entry at that position of the library's audio-track list (0 is "Disable").
int TrackIdAt(libvlc_media_player_t* player, int position) {
    int id = -100;
    libvlc_track_description_t* list = LibVlc.libvlc_audio_get_track_description(player);
    libvlc_track_description_t* d = list;
    for (int i = 0; i < position && d != nullptr; ++i)
        d = d->p_next;
    if (d != nullptr)
        id = d->i_id;
    LibVlcReleaseTrackList(list);
    return id;
}

// The caption, the application title and the title the window system shows are the text.
void ExpectCaption(TMainForm* form, const QString& caption) {
    EXPECT_EQ(form->windowTitle(), caption);
    EXPECT_EQ(ApplicationTitle(), caption);
    QString shown;
    EXPECT_TRUE(WaitUntil(
        [&] { return (shown = TProgramUnderTest::WindowName(form->winId())) == caption; }, 5000))
        << "the window system shows " << shown.toStdString();
}

// Waits until the library plays the audio track at that position of its list.
bool WaitForTrack(TVlcPlayer* player, int position) {
    libvlc_media_player_t* handle = player->GetPlayer();
    return WaitUntil(
        [&] {
            const int wanted = TrackIdAt(handle, position);
            return wanted != -100 && LibVlc.libvlc_audio_get_track(handle) == wanted;
        },
        30000);
}

class WatchTest : public TStandInServiceSuite {
protected:
    void SetUp() override {
        TStandInServiceSuite::SetUp();
        TestEnvironment::ClearSettingsStore();
    }

    // Signs in with the settings stored so far.
    TMainForm* SignIn(const char* user, const char* password) {
        Harness = std::make_unique<TMainFormHarness>(*Service);
        TMainFormHarness::TOptions options;
        options.ClearSettings = false;
        return Harness->SignIn(user, password, options);
    }
    TMainForm* SignInAsUser() {
        return SignIn(TStandInService::User, TStandInService::UserPassword);
    }
    TMainForm* SignInAsAdmin() {
        return SignIn(TStandInService::AdminUser, TStandInService::AdminPassword);
    }

    // A real double click on the row; waits until its start reply, if one went out, is handled.
    void DoubleClickAndWait(int row) {
        DoubleClickRow(Harness->Form()->ChannelList, row);
        ASSERT_TRUE(Harness->WaitForRequests());
    }

    std::unique_ptr<TMainFormHarness> Harness;
};

// -- Which stream a double click asks for, and how it plays

struct TCommandCase {
    const char* Name;
    bool Admin;
    std::optional<bool> UseMpeg2; // the stored value; none: not stored
    const char* DefLang;
    const char* BroadcastCid; // broadcast running at sign-in; null: none
    const char* BroadcastLang;
    QByteArray StartupStatus; // a scripted start-up status instead; empty: the service's own
    int Row;
    QByteArray Query; // empty: no request
    const char* Caption;
    bool Source;
    int Track; // of a source stream
};

class WatchCommandTest : public WatchTest, public testing::WithParamInterface<TCommandCase> {};

TEST_P(WatchCommandTest, DoubleClickAsksForTheStreamAndPlaysIt) {
    const TCommandCase& c = GetParam();
    if (c.UseMpeg2)
        WriteUseMpeg2(*c.UseMpeg2);
    if (c.DefLang != nullptr)
        WriteDefLang(QString::fromUtf8(c.DefLang));
    if (c.BroadcastCid != nullptr)
        Service->SetBroadcast(c.BroadcastCid, c.BroadcastLang);
    if (!c.StartupStatus.isEmpty())
        Service->ScriptReply("bdcstatus", c.StartupStatus);
    TMainForm* form = c.Admin ? SignInAsAdmin() : SignInAsUser();
    ASSERT_NE(form, nullptr);
    QueriesExceptPolls(*Harness);
    const QByteArray cid = form->ChannelIds[c.Row];

    DoubleClickAndWait(c.Row);
    const QByteArray lang =
        form->LangCombo->itemData(form->LangCombo->currentIndex()).toByteArray();
    EXPECT_EQ(QueriesExceptPolls(*Harness),
              c.Query.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{c.Query});
    ASSERT_TRUE(Harness->WaitForPlaying()) << "nothing plays";
    ExpectCaption(form, QString::fromUtf8(c.Caption));
    EXPECT_EQ(form->PlayingSource, c.Source);
    EXPECT_EQ(form->VlcPlayer->GetLibrary()->GetOptions(),
              c.Source ? SourceOptions(c.Track) : PlayerOptions);
    EXPECT_TRUE(form->VlcPlayer->isVisible());
    EXPECT_EQ(ReadLastCid().toUtf8(), cid);
    if (!c.Source) {
        // The window's view of the broadcast is the service's.
        const TStandInService::TBroadcastState broadcast = Service->Broadcast();
        EXPECT_EQ(form->BroadcastCid, broadcast.Cid);
        EXPECT_EQ(form->BroadcastLang, broadcast.Lang);
        EXPECT_EQ(form->BroadcastUrl, broadcast.Url);
        EXPECT_EQ(broadcast.Cid, cid);
        EXPECT_EQ(broadcast.Lang, lang);
    }
    EXPECT_TRUE(Harness->Boxes().Calls().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchCommandTest,
    testing::Values(
        TCommandCase{"UserWithoutStoredChoice",
                     false,
                     std::nullopt,
                     nullptr,
                     nullptr,
                     nullptr,
                     {},
                     1,
                     "cmd=link&cid=12&us=0",
                     "Kavrien Player (anna) - Meridian Sport",
                     true,
                     0},
        TCommandCase{"UserWithUseMpeg2Off",
                     false,
                     false,
                     nullptr,
                     nullptr,
                     nullptr,
                     {},
                     1,
                     "cmd=link&cid=12&us=0",
                     "Kavrien Player (anna) - Meridian Sport",
                     true,
                     0},
        TCommandCase{"UserWithUseMpeg2On",
                     false,
                     true,
                     nullptr,
                     nullptr,
                     nullptr,
                     {},
                     1,
                     "cmd=link&cid=12&us=0",
                     "Kavrien Player (anna) - Meridian Sport",
                     true,
                     0},
        // The broadcast of the same channel and language is no reason for an ordinary user.
        TCommandCase{"UserWhileThatChannelIsBroadcast",
                     false,
                     false,
                     "en",
                     "12",
                     "en",
                     {},
                     1,
                     "cmd=link&cid=12&us=0",
                     "Kavrien Player (anna) - Meridian Sport",
                     true,
                     0},
        TCommandCase{"AdminWithOriginalStreams",
                     true,
                     std::nullopt,
                     "de",
                     nullptr,
                     nullptr,
                     {},
                     0,
                     "cmd=link&cid=11&us=0",
                     "Kavrien Player (admin) - Harbour News",
                     true,
                     1},
        TCommandCase{"AdminReusesTheRunningBroadcast",
                     true,
                     false,
                     "de",
                     "12",
                     "de",
                     {},
                     1,
                     {},
                     "Kavrien Player (admin) - Meridian Sport (DE) (broadcast)",
                     false,
                     -1},
        TCommandCase{"AdminStartsAnotherLanguage",
                     true,
                     false,
                     "en",
                     "12",
                     "de",
                     {},
                     1,
                     "cmd=startbdc&cid=12&lang=en",
                     "Kavrien Player (admin) - Meridian Sport (EN) (broadcast)",
                     false,
                     -1},
        TCommandCase{"AdminStartsASingleLanguageChannel",
                     true,
                     false,
                     nullptr,
                     nullptr,
                     nullptr,
                     {},
                     2,
                     "cmd=startbdc&cid=13&lang=de",
                     "Kavrien Player (admin) - Alpine Panorama (broadcast)",
                     false,
                     -1},
        // The broadcast's language is compared exactly: "DE" is not "de".
        TCommandCase{"AdminWithTheBroadcastInOtherLetterCase", true, false, "de", nullptr, nullptr,
                     "1;12;DE;http://127.0.0.1:9/broadcast/1.ts", 1, "cmd=startbdc&cid=12&lang=de",
                     "Kavrien Player (admin) - Meridian Sport (DE) (broadcast)", false, -1}),
    [](const testing::TestParamInfo<TCommandCase>& info) { return info.param.Name; });

TEST_F(WatchTest, TheCaptionAndThePlayerChangeWhenTheReplyArrivesNotBefore) {
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    DoubleClickAndWait(0);
    ASSERT_TRUE(Harness->WaitForPlaying());
    const QPointer<TVlcPlayer> first = form->VlcPlayer;

    Service->ScriptHang("link");
    DoubleClickRow(form->ChannelList, 2);
    ASSERT_TRUE(WaitUntil([&] { return Service->Hanging() == 1; }));
    ProcessEventsFor(300);
    EXPECT_EQ(form->VlcPlayer, first);
    EXPECT_TRUE(first->IsPlaying()) << "the previous stream stops while the request runs";
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna) - Harbour News");

    Service->ReleaseHangs();
    ASSERT_TRUE(Harness->WaitForRequests());
    ASSERT_TRUE(Harness->WaitForPlaying());
    EXPECT_TRUE(first.isNull()) << "every stream gets a player of its own";
    ExpectCaption(form, "Kavrien Player (anna) - Alpine Panorama");
}

TEST_F(WatchTest, TheWatchButtonWatchesTheSelectedRowOrShowsTheHiddenList) {
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    // Hidden list, nothing selected: the list comes back, nothing is asked for.
    form->SetChannelListVisible(false);
    QueriesExceptPolls(*Harness);
    form->Play1->trigger();
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_TRUE(form->ChannelListShown());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>());

    ClickRow(form->ChannelList, 1);
    Click(form->PlayBtn);
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{"cmd=link&cid=12&us=0"});

    // Hidden list with a row selected: the button watches it.
    form->SetChannelListVisible(false);
    Click(form->PlayBtn);
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_FALSE(form->ChannelListShown());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{"cmd=link&cid=12&us=0"});
}

// -- Start replies that are no stream

struct TBadReplyCase {
    const char* Name;
    QByteArray Reply;
    const char* Message;
};

class WatchBadReplyTest : public WatchTest, public testing::WithParamInterface<TBadReplyCase> {};

TEST_P(WatchBadReplyTest, ShowsTheMessageAndTheStreamPlayingGoesOn) {
    const TBadReplyCase& c = GetParam();
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    DoubleClickAndWait(0);
    ASSERT_TRUE(Harness->WaitForPlaying());
    const QPointer<TVlcPlayer> playing = form->VlcPlayer; // null once freed
    const QString caption = form->windowTitle();

    Service->ScriptReply("link", c.Reply);
    DoubleClickAndWait(1);
    ASSERT_EQ(Harness->Boxes().Calls().size(), 1);
    const TMessageBoxCall& box = Harness->Boxes().Calls().front();
    EXPECT_EQ(box.Text, QString::fromUtf8(c.Message));
    EXPECT_EQ(box.Title, "Kavrien Player (anna) - Harbour News");
    EXPECT_EQ(box.Owner, form);
    EXPECT_EQ(box.Icon, TMessageIcon::Stop);
    // Nothing changed: the same player plays on under the same caption.
    ASSERT_EQ(form->VlcPlayer, playing);
    EXPECT_TRUE(playing->IsPlaying());
    EXPECT_EQ(form->windowTitle(), caption);
    EXPECT_EQ(form->LastCid, "11");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatchBadReplyTest,
    testing::Values(
        TBadReplyCase{"ReplyCodeOK", "OK",
                      "Server returned error while trying to initialize channel.\rError: OK"},
        TBadReplyCase{"EmptyReply", "",
                      "Server returned error while trying to initialize channel.\rError: Empty "
                      "response"},
        TBadReplyCase{"HttpOnlyInCapitals", "HTTP://127.0.0.1/live/12.ts",
                      "Could not retrieve stream URL. Please try again."}),
    [](const testing::TestParamInfo<TBadReplyCase>& info) { return info.param.Name; });

// -- The audio language of a source stream

TEST_F(WatchTest, SourceStreamPlaysTheChosenLanguageAndSwitchesWithoutARequest) {
    WriteDefLang("fr");
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    QueriesExceptPolls(*Harness);
    DoubleClickAndWait(1); // Meridian Sport: en, de, fr
    ASSERT_EQ(form->LangCombo->currentIndex(), 2);
    EXPECT_EQ(form->VlcPlayer->GetLibrary()->GetOptions(), SourceOptions(2));
    ASSERT_TRUE(Harness->WaitForPlaying());
    const QPointer<TVlcPlayer> player = form->VlcPlayer; // null once freed
    EXPECT_TRUE(WaitForTrack(player, 3)) << "French is not the track playing";

    // The user picks German in the box with the keyboard.
    form->LangCombo->setFocus();
    Key(form, Qt::Key_Up);
    ASSERT_EQ(form->LangCombo->currentText(), "de");
    ASSERT_EQ(form->VlcPlayer, player) << "the stream was started again";
    EXPECT_TRUE(WaitForTrack(player, 2)) << "German is not the track playing";
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{"cmd=link&cid=12&us=0"});
}

// -- Picking a language while the broadcast plays

struct TBroadcastLanguageCase {
    const char* Name;
    bool Admin;
    std::optional<bool> UseMpeg2;
    int ClickedRow; // selected while the broadcast plays; -1: none
    int Picked;     // index picked in the language box
    QList<QByteArray> Queries;
    const char* Caption;
};

class BroadcastLanguageTest : public WatchTest,
                              public testing::WithParamInterface<TBroadcastLanguageCase> {};

TEST_P(BroadcastLanguageTest, PickingALanguage) {
    const TBroadcastLanguageCase& c = GetParam();
    if (c.UseMpeg2)
        WriteUseMpeg2(*c.UseMpeg2);
    Service->SetBroadcast("12", "de");
    TMainForm* form = c.Admin ? SignInAsAdmin() : SignInAsUser();
    ASSERT_NE(form, nullptr);
    // Meridian Sport's languages in the box, then the broadcast with a click on its name.
    ClickRow(form->ChannelList, 1);
    Click(form->BroadcastStateLbl);
    ASSERT_TRUE(Harness->WaitForRequests());
    ASSERT_TRUE(Harness->WaitForPlaying());
    ASSERT_FALSE(form->PlayingSource);
    ASSERT_EQ(form->windowTitle(), (c.Admin ? QStringLiteral("Kavrien Player (admin)")
                                            : QStringLiteral("Kavrien Player (anna)")) +
                                       " - Meridian Sport (DE) (broadcast)");
    const bool useOriginalStream = form->UseOriginalStream;
    const QString preferred = form->PreferredLanguage;
    if (c.ClickedRow >= 0)
        ClickRow(form->ChannelList, c.ClickedRow);
    Harness->NewQueries();

    form->LangCombo->setCurrentIndex(c.Picked); // as the user's pick: the change is reported
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), c.Queries);
    ASSERT_TRUE(Harness->WaitForPlaying());
    ExpectCaption(form, QString::fromUtf8(c.Caption));
    EXPECT_FALSE(form->PlayingSource) << "the broadcast is not a source stream";
    EXPECT_EQ(form->UseOriginalStream, useOriginalStream);
    EXPECT_EQ(form->PreferredLanguage, preferred);
    if (!c.Queries.isEmpty()) {
        const TStandInService::TBroadcastState broadcast = Service->Broadcast();
        EXPECT_EQ(form->BroadcastUrl, broadcast.Url);
        EXPECT_EQ(form->BroadcastCid, broadcast.Cid);
        EXPECT_EQ(form->BroadcastLang, broadcast.Lang);
        EXPECT_EQ(form->VlcPlayer->GetLibrary()->GetOptions(), PlayerOptions);
    }
    EXPECT_TRUE(Harness->Boxes().Calls().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BroadcastLanguageTest,
    testing::Values(
        // The restart is for the selected row, in the picked language.
        TBroadcastLanguageCase{"AdminRestartsForTheSelectedRow",
                               true,
                               false,
                               3,
                               2,
                               {"cmd=startbdc&cid=14&lang=fr"},
                               "Kavrien Player (admin) - Cinema Classics (FR) (broadcast)"},
        // An administrator who watches source streams still restarts the broadcast, and the
        // reply plays as the broadcast it is.
        TBroadcastLanguageCase{"AdminWithOriginalStreams",
                               true,
                               std::nullopt,
                               -1,
                               2,
                               {"cmd=startbdc&cid=12&lang=fr"},
                               "Kavrien Player (admin) - Meridian Sport (FR) (broadcast)"},
        TBroadcastLanguageCase{"OrdinaryUserChangesNothing",
                               false,
                               std::nullopt,
                               -1,
                               2,
                               {},
                               "Kavrien Player (anna) - Meridian Sport (DE) (broadcast)"}),
    [](const testing::TestParamInfo<TBroadcastLanguageCase>& info) { return info.param.Name; });

// -- A change of the broadcast that did not happen

struct TFailedChangeCase {
    const char* Name;
    QByteArray ListReply; // empty: the demo channels
    QByteArray Reply;     // to the change's cmd=startbdc; empty: none is sent
    int ChangedRow;
    int WatchedRow;
    QByteArray Query; // what the next double click asks for
};

class FailedChangeTest : public WatchTest, public testing::WithParamInterface<TFailedChangeCase> {};

TEST_P(FailedChangeTest, LeavesNoMarkForTheNextDoubleClick) {
    const TFailedChangeCase& c = GetParam();
    if (!c.ListReply.isEmpty())
        Service->ScriptReply("listnew", c.ListReply);
    TMainForm* form = SignInAsAdmin(); // watches source streams
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->UseOriginalStream);
    ClickRow(form->ChannelList, c.ChangedRow);
    if (!c.Reply.isEmpty())
        Service->ScriptReply("startbdc", c.Reply);
    QueriesExceptPolls(*Harness);
    form->ChangeCurrentChannel1->trigger();
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness).size(), c.Reply.isEmpty() ? 0 : 1);
    EXPECT_EQ(Harness->Boxes().Calls().size(), c.Reply.isEmpty() ? 0 : 1);

    DoubleClickAndWait(c.WatchedRow);
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{c.Query});
    ASSERT_TRUE(Harness->WaitForPlaying()) << "the double click played nothing";
    EXPECT_TRUE(form->PlayingSource);
    EXPECT_FALSE(Service->Broadcast().Running) << "the double click changed the broadcast";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedChangeTest,
    testing::Values(TFailedChangeCase{"ErrorReply", {}, "ERR", 1, 0, "cmd=link&cid=11&us=0"},
                    TFailedChangeCase{"ReplyWithoutUrl", {}, "busy", 1, 0, "cmd=link&cid=11&us=0"},
                    TFailedChangeCase{"NoLanguageToAskFor",
                                      "7;News;;11;Harbour News;en,de;",
                                      {},
                                      0,
                                      1,
                                      "cmd=link&cid=11&us=0"}),
    [](const testing::TestParamInfo<TFailedChangeCase>& info) { return info.param.Name; });

TEST_F(WatchTest, ChangingTheBroadcastLeavesTheSourceStreamPlayingAsASourceStream) {
    TMainForm* form = SignInAsAdmin(); // watches source streams
    ASSERT_NE(form, nullptr);
    DoubleClickAndWait(0);
    ASSERT_TRUE(Harness->WaitForPlaying());
    const QPointer<TVlcPlayer> player = form->VlcPlayer; // null once freed
    ClickRow(form->ChannelList, 1);
    QueriesExceptPolls(*Harness);

    form->ChangeCurrentChannel1->trigger();
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{"cmd=startbdc&cid=12&lang=en"});
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (EN)");
    EXPECT_EQ(form->BroadcastUrl, Service->Broadcast().Url);
    ASSERT_EQ(form->VlcPlayer, player);
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_TRUE(form->PlayingSource);
    ExpectCaption(form, "Kavrien Player (admin) - Harbour News");
    EXPECT_EQ(form->LastCid, "11");

    // So STOP ends the broadcast and leaves the source stream playing.
    Click(form->StopBtn);
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{"cmd=stopbdc"});
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
}

// -- Previous and next

struct TStepCase {
    const char* Name;
    QByteArray ListReply; // empty: the demo channels
    int Watched;
    QPushButton* TMainForm::*Button;
    QByteArray Query;
    int Row;
};

class StepTest : public WatchTest, public testing::WithParamInterface<TStepCase> {};

TEST_P(StepTest, WatchesTheNeighbourOfTheWatchedChannel) {
    const TStepCase& c = GetParam();
    if (!c.ListReply.isEmpty())
        Service->ScriptReply("listnew", c.ListReply);
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    DoubleClickAndWait(c.Watched);
    ASSERT_EQ(form->LastCid, form->ChannelIds[c.Watched]);
    QueriesExceptPolls(*Harness);

    Click(form->*c.Button);
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{c.Query});
    EXPECT_EQ(form->ChannelList->currentRow(), c.Row);
    EXPECT_EQ(form->LastCid, form->ChannelIds[c.Row]);
    EXPECT_EQ(form->windowTitle(),
              "Kavrien Player (anna) - " + QString::fromUtf8(form->ChannelNames[c.Row]));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StepTest,
    testing::Values(
        TStepCase{"PreviousOnTheFirst", {}, 0, &TMainForm::PrevBtn, "cmd=link&cid=14&us=0", 3},
        TStepCase{"NextOnTheLast", {}, 3, &TMainForm::NextBtn, "cmd=link&cid=11&us=0", 0},
        TStepCase{"PreviousInTheMiddle", {}, 2, &TMainForm::PrevBtn, "cmd=link&cid=12&us=0", 1},
        TStepCase{"PreviousOfTheOnlyChannel", "13;Alpine Panorama;de;", 0, &TMainForm::PrevBtn,
                  "cmd=link&cid=13&us=0", 0},
        TStepCase{"NextOfTheOnlyChannel", "13;Alpine Panorama;de;", 0, &TMainForm::NextBtn,
                  "cmd=link&cid=13&us=0", 0}),
    [](const testing::TestParamInfo<TStepCase>& info) { return info.param.Name; });

TEST_F(WatchTest, StepsGoFromTheWatchedChannelNotFromTheSelectedRow) {
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    DoubleClickAndWait(1);
    ASSERT_TRUE(Harness->WaitForPlaying());
    ClickRow(form->ChannelList, 3);
    QueriesExceptPolls(*Harness);
    form->Next1->trigger();
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{"cmd=link&cid=13&us=0"});
    EXPECT_EQ(form->ChannelList->currentRow(), 2);
}

TEST_F(WatchTest, StepsDoNothingWhileNothingIsWatched) {
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    ClickRow(form->ChannelList, 1); // selected, not watched
    QueriesExceptPolls(*Harness);
    Click(form->PrevBtn);
    Click(form->NextBtn);
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>());

    // Watched and stopped: nothing is watched again.
    DoubleClickAndWait(1);
    ASSERT_TRUE(Harness->WaitForPlaying());
    Click(form->StopChanBtn);
    QueriesExceptPolls(*Harness);
    form->Previous1->trigger();
    form->Next1->trigger();
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>());
    EXPECT_FALSE(form->VlcPlayer->IsPlaying());
}

// -- The last channel, watched again once the list is there

struct TRestoreCase {
    const char* Name;
    QByteArray ListReply; // empty: the demo channels
    bool ScriptLink;      // the service does not know the listed channel: answer for it
    const char* Stored;
    QByteArray Query; // empty: nothing is watched
    int Row;
};

class RestoreTest : public WatchTest, public testing::WithParamInterface<TRestoreCase> {};

TEST_P(RestoreTest, TheStoredChannelIsWatchedAgainWhenListed) {
    const TRestoreCase& c = GetParam();
    if (!c.ListReply.isEmpty())
        Service->ScriptReply("listnew", c.ListReply);
    if (c.ScriptLink)
        Service->ScriptReply("link", Service->StreamUrl("11"));
    WriteLastCid(QString::fromUtf8(c.Stored));
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    QList<QByteArray> expected{"cmd=test", "cmd=getperms", "cmd=bdcstatus", "cmd=listnew"};
    if (!c.Query.isEmpty())
        expected.append(c.Query);
    EXPECT_EQ(Harness->NewQueries(), expected);
    EXPECT_EQ(form->ChannelList->currentRow(), c.Row);
    if (c.Query.isEmpty()) {
        EXPECT_EQ(form->VlcPlayer, nullptr) << "a player was made";
        EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna)");
        EXPECT_EQ(ReadLastCid(), QString::fromUtf8(c.Stored));
    } else {
        EXPECT_TRUE(Harness->WaitForPlaying());
        EXPECT_EQ(ReadLastCid().toUtf8(), form->ChannelIds[c.Row]);
    }
    EXPECT_TRUE(Harness->Boxes().Calls().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreTest,
    testing::Values(TRestoreCase{"Listed", {}, false, "12", "cmd=link&cid=12&us=0", 1},
                    // The lookup ignores letter case; the list's identifier is what is sent.
                    TRestoreCase{"ListedInOtherLetterCase", "ab;News;en;", true, "AB",
                                 "cmd=link&cid=ab&us=0", 0},
                    TRestoreCase{"NoLongerListed", {}, false, "99", {}, -1}),
    [](const testing::TestParamInfo<TRestoreCase>& info) { return info.param.Name; });

// -- Stopping

TEST_F(WatchTest, StopRestoresTheBaseCaptionHidesThePlayerAndForgetsTheChannel) {
    WriteLastCid("99"); // not listed: nothing plays at the start
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    Click(form->StopChanBtn); // nothing plays
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna)");
    EXPECT_EQ(ReadLastCid(), "");

    DoubleClickAndWait(3);
    ASSERT_TRUE(Harness->WaitForPlaying());
    ASSERT_EQ(form->windowTitle(), "Kavrien Player (anna) - Cinema Classics");
    ASSERT_EQ(ReadLastCid(), "14");
    Click(form->StopChanBtn);
    EXPECT_FALSE(form->VlcPlayer->IsPlaying());
    EXPECT_FALSE(form->VlcPlayer->isVisible());
    ExpectCaption(form, "Kavrien Player (anna)");
    EXPECT_EQ(form->LastCid, "");
    EXPECT_EQ(ReadLastCid(), "");
}

// -- What the player is started with besides the stream

struct TStartCase {
    const char* Name;
    bool InitFullScreen;
    const char* AspectRatio; // stored; empty: the library's own
    int Volume;              // the bar's position
};

class PlaybackStartTest : public WatchTest, public testing::WithParamInterface<TStartCase> {};

TEST_P(PlaybackStartTest, StreamsStartWithTheStoredChoicesAndTheBarsVolume) {
    const TStartCase& c = GetParam();
    WriteInitFullScreen(c.InitFullScreen);
    WriteAspectRatio(QString::fromUtf8(c.AspectRatio));
    WriteLastVol(c.Volume);
    TMainForm* form = SignInAsUser();
    ASSERT_NE(form, nullptr);
    for (int row : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "row " << row);
        // The second stream starts from the player menu while the window is in full screen
        // already, if at all: the channel list may be hidden.
        if (row == 0) {
            DoubleClickAndWait(row);
        } else {
            form->Next1->trigger();
            ASSERT_TRUE(Harness->WaitForRequests());
        }
        ASSERT_TRUE(Harness->WaitForPlaying());
        ASSERT_EQ(form->LastCid, form->ChannelIds[row]);
        EXPECT_EQ(form->FullScreen, c.InitFullScreen);
        libvlc_media_player_t* handle = form->VlcPlayer->GetPlayer();
        char* ratio = LibVlc.libvlc_video_get_aspect_ratio(handle);
        EXPECT_EQ(std::string(ratio != nullptr ? ratio : ""), c.AspectRatio);
        LibVlcFree(ratio);
        EXPECT_TRUE(WaitUntil([&] { return LibVlc.libvlc_audio_get_volume(handle) == c.Volume; }))
            << "volume " << LibVlc.libvlc_audio_get_volume(handle);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PlaybackStartTest,
                         testing::Values(TStartCase{"Defaults", false, "", 37},
                                         TStartCase{"FullScreenAndAspectRatio", true, "4:3", 150}),
                         [](const testing::TestParamInfo<TStartCase>& info) {
                             return info.param.Name;
                         });

} // namespace
