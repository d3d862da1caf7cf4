// The player control with the real media library on an X server of the test's own, playing
// the stand-in service's live streams.

#include "player/TVlcLibrary.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"

#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <map>
#include <memory>

namespace {

constexpr int PlayTimeoutMs = 30000;
constexpr int FirstMessage = 1024 + 256;
constexpr int LastMessage = 1024 + 283;

// Counts the library's messages per number as they reach a control.
class TMessageCounter : public QObject {
public:
    std::map<int, int> Count;
    int Total() const {
        int total = 0;
        for (const auto& [msg, count] : Count)
            total += count;
        return total;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() >= FirstMessage && event->type() <= LastMessage)
            ++Count[event->type()];
        return false;
    }
};

// The share of pixels that are not (nearly) black.
double LitShare(const QImage& image) {
    if (image.isNull())
        return 0.0;
    qint64 lit = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            lit += std::max({c.red(), c.green(), c.blue()}) > 48 ? 1 : 0;
        }
    }
    const qint64 all = qint64((image.height() + 3) / 4) * ((image.width() + 3) / 4);
    return double(lit) / double(all);
}

std::vector<std::string> TrackNames(libvlc_media_player_t* player) {
    std::vector<std::string> names;
    libvlc_track_description_t* list = LibVlc.libvlc_audio_get_track_description(player);
    for (libvlc_track_description_t* d = list; d != nullptr; d = d->p_next)
        names.emplace_back(d->psz_name != nullptr ? d->psz_name : "");
    LibVlcReleaseTrackList(list);
    return names;
}

int TrackIdAt(libvlc_media_player_t* player, int index) {
    int id = -100;
    libvlc_track_description_t* list = LibVlc.libvlc_audio_get_track_description(player);
    libvlc_track_description_t* d = list;
    for (int i = 0; i < index && d != nullptr; ++i)
        d = d->p_next;
    if (d != nullptr)
        id = d->i_id;
    LibVlcReleaseTrackList(list);
    return id;
}

class TVlcPlayerPlaybackTest : public testing::Test {
protected:
    static void SetUpTestSuite() { Service = new TStandInService; }
    static void TearDownTestSuite() {
        delete Service;
        Service = nullptr;
    }

    TVlcPlayerPlaybackTest() {
        Window.resize(640, 360);
        Window.show();
        EXPECT_TRUE(WaitUntil([this] { return Window.isVisible(); }));
    }
    ~TVlcPlayerPlaybackTest() override { delete Player; }

    // A control as the main window makes one, filling the window. There is no sound card:
    // the audio goes to the library's dummy output unless the test chooses another.
    TVlcPlayer* MakePlayer(std::vector<std::string> startOptions = {"--aout=adummy"}) {
        delete Player;
        Player = new TVlcPlayer(&Window);
        Player->SetStartOptions(startOptions);
        Player->ApplyBounds(0, 0, Window.width(), Window.height());
        Player->installEventFilter(&Messages);
        Player->GetLibrary()->AddOption("--verbose=0");
        Player->show();
        return Player;
    }

    static QString StreamUrl(const char* cid) {
        return QString::fromUtf8(Service->StreamUrl(QByteArray(cid)));
    }

    bool WaitUntilPlaying() {
        return WaitUntil([this] { return Player->IsPlaying(); }, PlayTimeoutMs);
    }

    QWidget* VideoWindow() const { return Player->findChild<QWidget*>("VideoWindow"); }

    // Waits until the video child shows a picture; the share of lit pixels it saw last.
    double WaitForPicture() {
        double share = 0.0;
        WaitUntil(
            [&] {
                share = LitShare(TProgramUnderTest::Grab(VideoWindow()->winId()));
                return share > 0.5;
            },
            PlayTimeoutMs);
        return share;
    }

    static TStandInService* Service;
    QWidget Window;
    TVlcPlayer* Player = nullptr;
    TMessageCounter Messages;
};

TStandInService* TVlcPlayerPlaybackTest::Service = nullptr;

} // namespace

TEST_F(TVlcPlayerPlaybackTest, PlaysTheLiveStreamIntoTheVideoChildAndStops) {
    MakePlayer();
    libvlc_media_player_t* handle = Player->GetPlayer();
    ASSERT_NE(handle, nullptr) << LibVlcError;

    // The system's library binds every group of the table.
    EXPECT_GE(LibVlcVersion, 0x20200u) << LibVlcVersionText;
    for (const TLibVlcSlot& slot : LibVlcSlots())
        EXPECT_EQ(slot.Current(), dlsym(LibVlcHandle, slot.Name)) << slot.Name;

    // Black once Qt has painted it, before anything plays.
    EXPECT_TRUE(WaitUntil([this] {
        return LitShare(TProgramUnderTest::Grab(VideoWindow()->winId())) < 0.01;
    })) << "the video child is not black before playing";

    Player->Play(StreamUrl("11"));
    ASSERT_TRUE(WaitUntilPlaying()) << "state " << Player->GetState();
    EXPECT_EQ(Player->GetState(), libvlc_Playing);
    EXPECT_EQ(Player->GetPlayer(), handle);
    EXPECT_GT(WaitForPicture(), 0.5) << "the picture does not show in the video child";

    Player->Stop();
    EXPECT_FALSE(Player->IsPlaying());
    EXPECT_EQ(Player->GetState(), libvlc_Stopped);
}

TEST_F(TVlcPlayerPlaybackTest, AudioTrackListHasDisableAndOneEntryPerLanguage) {
    MakePlayer();
    Player->GetLibrary()->AddOption("--audio-track=0");
    Player->Play(StreamUrl("12")); // English, German, French
    ASSERT_TRUE(WaitUntilPlaying());
    libvlc_media_player_t* handle = Player->GetPlayer();
    std::vector<std::string> names;
    ASSERT_TRUE(WaitUntil([&] { return (names = TrackNames(handle)).size() == 4; }, PlayTimeoutMs))
        << names.size() << " audio tracks";
    EXPECT_EQ(names[0], "Disable");
    const char* languages[] = {"[English]", "[German]", "[French]"};
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(names[i + 1].find(languages[i]), std::string::npos) << names[i + 1];

    Player->SetAudioTrack(2);
    EXPECT_TRUE(WaitUntil([&] {
        return LibVlc.libvlc_audio_get_track(handle) == TrackIdAt(handle, 2);
    })) << "the second language is not selected: "
        << names[2];
    EXPECT_TRUE(Player->IsPlaying()) << "the stream restarted";

    // Past the list's end, and negative: nothing changes.
    Player->SetAudioTrack(4);
    Player->SetAudioTrack(-1);
    ProcessEventsFor(300);
    EXPECT_EQ(LibVlc.libvlc_audio_get_track(handle), TrackIdAt(handle, 2));
}

TEST_F(TVlcPlayerPlaybackTest, VolumeFrom0To200IsAppliedAndOtherValuesAreIgnored) {
    // The library's own volume needs an output that has one: ALSA's null device.
    MakePlayer({"--aout=alsa", "--alsa-audio-device=null"});
    std::vector<float> volumeEvents;
    Player->OnMediaPlayerAudioVolume = [&](TVlcPlayer*, float volume) {
        volumeEvents.push_back(volume);
    };
    Player->SetAudioVolume(50); // no media player yet: ignored, nothing made
    EXPECT_EQ(Player->GetState(), 0);

    Player->Play(StreamUrl("11"));
    ASSERT_TRUE(WaitUntilPlaying());
    libvlc_media_player_t* handle = Player->GetPlayer();
    ASSERT_TRUE(
        WaitUntil([&] { return LibVlc.libvlc_audio_get_volume(handle) >= 0; }, PlayTimeoutMs))
        << "no audio output";

    Player->SetAudioVolume(0);
    EXPECT_TRUE(WaitUntil([&] { return LibVlc.libvlc_audio_get_volume(handle) == 0; }));
    Player->SetAudioVolume(200);
    EXPECT_TRUE(WaitUntil([&] { return LibVlc.libvlc_audio_get_volume(handle) == 200; }));
    Player->SetAudioVolume(201);
    Player->SetAudioVolume(-1);
    ProcessEventsFor(300);
    EXPECT_EQ(LibVlc.libvlc_audio_get_volume(handle), 200);
    // The volume event carries the fraction: 200 % arrives as 2.0.
    EXPECT_TRUE(WaitUntil([&] { return !volumeEvents.empty() && volumeEvents.back() == 2.0f; }));
}

TEST_F(TVlcPlayerPlaybackTest, AVolumeSetBeforeTheStreamStartsHoldsOnceItPlays) {
    // The main window sets the volume between making the media player and playing; the
    // audio output that starts with the stream must not take it back.
    MakePlayer({"--aout=alsa", "--alsa-audio-device=null"});
    libvlc_media_player_t* handle = Player->GetPlayer();
    ASSERT_NE(handle, nullptr);
    Player->SetAudioVolume(35);
    Player->Play(StreamUrl("12"));
    ASSERT_TRUE(WaitUntilPlaying());
    ASSERT_TRUE(
        WaitUntil([&] { return LibVlc.libvlc_audio_get_volume(handle) >= 0; }, PlayTimeoutMs));
    ProcessEventsFor(1500);
    EXPECT_EQ(LibVlc.libvlc_audio_get_volume(handle), 35);
    Player->SetAudioVolume(120);
    ProcessEventsFor(300);
    EXPECT_EQ(LibVlc.libvlc_audio_get_volume(handle), 120);
}

TEST_F(TVlcPlayerPlaybackTest, FreeingTheControlWhilePlayingIsClean) {
    auto raisedAfterFree = std::make_shared<int>(0);
    auto freed = std::make_shared<bool>(false);
    auto count = [raisedAfterFree, freed](TVlcPlayer*) {
        *raisedAfterFree += *freed ? 1 : 0;
    };

    // Freed while playing.
    MakePlayer();
    Player->OnMediaPlayerPlaying = count;
    Player->OnMediaPlayerStopped = count;
    Player->OnMediaPlayerTimeChanged = [count](TVlcPlayer* p, std::int64_t) {
        count(p);
    };
    Player->Play(StreamUrl("11"));
    ASSERT_TRUE(WaitUntilPlaying());
    ProcessEventsFor(500);
    delete Player;
    Player = nullptr;
    *freed = true;
    EXPECT_EQ(TVlcPlayer::HeldEventPayloads(), 0);

    // Freed right after Play, with the new item's message still queued.
    MakePlayer();
    *freed = false;
    Player->OnMediaPlayerMediaChanged = [count](TVlcPlayer* p, const std::string&) {
        count(p);
    };
    Player->OnMediaPlayerOpening = count;
    Player->Play(StreamUrl("12"));
    EXPECT_GE(TVlcPlayer::HeldEventPayloads(), 1) << "the new item is held for its message";
    delete Player;
    Player = nullptr;
    *freed = true;
    EXPECT_EQ(TVlcPlayer::HeldEventPayloads(), 0);

    ProcessEventsFor(1000);
    EXPECT_EQ(*raisedAfterFree, 0);
}

TEST_F(TVlcPlayerPlaybackTest, UrlThatFailsToOpenRaisesTheErrorEventAndSetsLastError) {
    MakePlayer();
    int errors = 0;
    Player->OnMediaPlayerEncounteredError = [&](TVlcPlayer* sender) {
        EXPECT_EQ(sender, Player);
        ++errors;
    };
    // The library keeps its error text per thread; the handler reads the UI thread's.
    ASSERT_NE(Player->GetPlayer(), nullptr);
    LibVlc.libvlc_printerr("%s", "stream not found");
    Player->Play(StreamUrl("404"));
    ASSERT_TRUE(WaitUntil([&] { return errors == 1; }, PlayTimeoutMs))
        << "state " << Player->GetState();
    EXPECT_FALSE(Player->IsPlaying());
    EXPECT_EQ(Player->LastError(), "stream not found");

    // Without a handler, and with no error text pending, LastError becomes empty.
    Player->OnMediaPlayerEncounteredError = nullptr;
    LibVlc.libvlc_clearerr();
    const int errorMessages = Messages.Count[1024 + libvlc_MediaPlayerEncounteredError];
    Player->Play(StreamUrl("405"));
    ASSERT_TRUE(WaitUntil(
        [&] { return Messages.Count[1024 + libvlc_MediaPlayerEncounteredError] > errorMessages; },
        PlayTimeoutMs));
    EXPECT_EQ(Player->LastError(), "");
}

TEST_F(TVlcPlayerPlaybackTest, GetPlayerTwiceGivesOneMessagePerEvent) {
    MakePlayer();
    libvlc_media_player_t* handle = Player->GetPlayer();
    EXPECT_EQ(Player->GetPlayer(), handle);
    std::vector<std::string> items;
    Player->OnMediaPlayerMediaChanged = [&](TVlcPlayer*, const std::string& mrl) {
        items.push_back(mrl);
    };
    Player->Play(StreamUrl("11"));
    ASSERT_TRUE(WaitUntilPlaying());
    ProcessEventsFor(500);
    EXPECT_EQ(Messages.Count[1024 + libvlc_MediaPlayerMediaChanged], 1);
    EXPECT_EQ(Messages.Count[1024 + libvlc_MediaPlayerOpening], 1);
    EXPECT_EQ(Messages.Count[1024 + libvlc_MediaPlayerPlaying], 1);
    EXPECT_EQ(items, std::vector<std::string>{StreamUrl("11").toStdString()});
    EXPECT_EQ(TVlcPlayer::HeldEventPayloads(), 0);
}

// A path that names a file is played as that file; anything else goes as a location.
TEST_F(TVlcPlayerPlaybackTest, LocalFileIsPlayedByItsPath) {
    const QString path = TestEnvironment::BuildDir() + QStringLiteral("/demo-content/13.ts");
    ASSERT_TRUE(QFile::exists(path));
    MakePlayer();
    std::vector<std::string> items;
    Player->OnMediaPlayerMediaChanged = [&](TVlcPlayer*, const std::string& mrl) {
        items.push_back(mrl);
    };
    Player->Play(path);
    ASSERT_TRUE(WaitUntilPlaying());
    ASSERT_TRUE(WaitUntil([&] { return items.size() == 1; }));
    EXPECT_EQ(items[0], QUrl::fromLocalFile(path).toString().toStdString());
}

TEST_F(TVlcPlayerPlaybackTest, WithoutEventsNothingIsPosted) {
    MakePlayer();
    Player->SetUseEvents(false);
    int raw = 0;
    Player->SetOnMediaPlayerEvent([&raw](const libvlc_event_t*, void*) { ++raw; });
    ASSERT_NE(Player->GetPlayer(), nullptr);
    LibVlc.libvlc_printerr("%s", "pending error text");
    Player->Play(StreamUrl("404"));
    // The library reports the error and then ends the item.
    ASSERT_TRUE(WaitUntil([&] { return Player->GetState() >= libvlc_Ended; }, PlayTimeoutMs));
    ProcessEventsFor(300);
    EXPECT_EQ(Messages.Total(), 0);
    EXPECT_EQ(raw, 0);
    EXPECT_EQ(Player->LastError(), "");
}

TEST_F(TVlcPlayerPlaybackTest, SiteLinkPlaysTheFirstSubItemOfThePage) {
    // A playlist stands in for the site's page: the library reads it into sub-items and
    // ends, then the control plays the first one.
    QTemporaryDir folder;
    const QString page = folder.filePath(QStringLiteral("watch.m3u"));
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#EXTM3U\n" + StreamUrl("13").toUtf8() + "\n" + StreamUrl("11").toUtf8() + "\n");
    file.close();

    MakePlayer();
    Player->PlaySiteLink(page, TVlcPlayer::SiteLinkTimeoutMs);
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (!Player->IsPlaying())
                return false;
            libvlc_media_t* item = LibVlc.libvlc_media_player_get_media(Player->GetPlayer());
            char* mrl = item != nullptr ? LibVlc.libvlc_media_get_mrl(item) : nullptr;
            const bool sub = mrl != nullptr && StreamUrl("13") == QString::fromUtf8(mrl);
            LibVlcFree(mrl);
            if (item != nullptr)
                LibVlc.libvlc_media_release(item);
            return sub;
        },
        PlayTimeoutMs))
        << "state " << Player->GetState();
}

TEST_F(TVlcPlayerPlaybackTest, MouseOverThePictureReachesTheControlOnlyInComponentMode) {
    MakePlayer();
    int dblClicks = 0;
    int clicks = 0;
    int moves = 0;
    int menuOpened = 0;
    Player->OnDblClick = [&](TVlcPlayer* sender) {
        EXPECT_EQ(sender, Player);
        ++dblClicks;
    };
    Player->OnClick = [&](TVlcPlayer*) {
        ++clicks;
    };
    Player->OnMouseMove = [&](TVlcPlayer*, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) {
        ++moves;
    };
    QMenu menu;
    menu.addAction(QStringLiteral("&Play"));
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { ++menuOpened; });
    Player->PopupMenu = &menu;
    // The two clicks of xdotool's double click stay one double click on a loaded machine.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(1500);

    Player->Play(StreamUrl("11"));
    ASSERT_TRUE(WaitUntilPlaying());
    ASSERT_GT(WaitForPicture(), 0.5);
    const unsigned long video = VideoWindow()->winId();

    TProgramUnderTest::Click(video, 320, 180, 1, 2);
    EXPECT_TRUE(WaitUntil([&] { return dblClicks == 1; })) << "no double click over the picture";
    EXPECT_GE(clicks, 1);
    EXPECT_GT(moves, 0);
    TProgramUnderTest::Click(video, 200, 100, 3, 1);
    EXPECT_TRUE(WaitUntil([&] { return menuOpened == 1 && menu.isVisible(); }))
        << "no context menu over the picture";
    menu.close();
    ProcessEventsFor(300);

    Player->SetMouseEventsHandler(mehLibrary);
    dblClicks = clicks = moves = menuOpened = 0;
    TProgramUnderTest::Click(video, 300, 150, 1, 2);
    TProgramUnderTest::Click(video, 250, 120, 3, 1);
    ProcessEventsFor(1000);
    EXPECT_EQ(dblClicks, 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(moves, 0);
    EXPECT_EQ(menuOpened, 0);
    EXPECT_TRUE(Player->IsPlaying());
}
