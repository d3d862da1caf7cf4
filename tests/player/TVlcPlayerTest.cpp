// The player control without a media library: the event path from a library thread to the
// UI thread, the mouse overlay, the site-link check and the property rules.

#include "player/TVlcPlayer.h"

#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

constexpr int FirstMessage = 1024 + 256;
constexpr int LastMessage = 1024 + 283;

// Counts the library's messages that reach a control.
class TMessageCounter : public QObject {
public:
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() >= FirstMessage && event->type() <= LastMessage)
            ++Count;
        return false;
    }
};

libvlc_event_t MakeEvent(libvlc_event_e type) {
    libvlc_event_t event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    return event;
}

class TVlcPlayerTest : public testing::Test {
protected:
    TVlcPlayerTest() : Player(new TVlcPlayer(&Window)) { Player->installEventFilter(&Messages); }
    ~TVlcPlayerTest() override { delete Player; }

    // Raises the event as the library does, from a thread of its own.
    void RaiseFromLibraryThread(const libvlc_event_t& event) {
        std::thread library([this, event] { TVlcPlayer::EventCallback(&event, Player); });
        library.join();
    }

    QWidget Window;
    TVlcPlayer* Player;
    TMessageCounter Messages;
};

} // namespace

TEST_F(TVlcPlayerTest, SixtyFourBitTimesArriveWhole) {
    std::vector<std::int64_t> times;
    std::vector<std::int64_t> lengths;
    Player->OnMediaPlayerTimeChanged = [&](TVlcPlayer* sender, std::int64_t time) {
        EXPECT_EQ(sender, Player);
        times.push_back(time);
    };
    Player->OnMediaPlayerLengthChanged = [&](TVlcPlayer*, std::int64_t length) {
        lengths.push_back(length);
    };
    const std::int64_t values[] = {3000000000LL, -5, (1LL << 40) + 7, 0};
    for (std::int64_t value : values) {
        libvlc_event_t time = MakeEvent(libvlc_MediaPlayerTimeChanged);
        time.u.media_player_time_changed.new_time = value;
        RaiseFromLibraryThread(time);
        libvlc_event_t length = MakeEvent(libvlc_MediaPlayerLengthChanged);
        length.u.media_player_length_changed.new_length = value;
        RaiseFromLibraryThread(length);
    }
    ASSERT_TRUE(WaitUntil([&] { return lengths.size() == std::size(values); }));
    EXPECT_EQ(times, std::vector<std::int64_t>(std::begin(values), std::end(values)));
    EXPECT_EQ(lengths, times);
}

TEST_F(TVlcPlayerTest, FractionsArriveInThousandths) {
    std::vector<float> positions;
    std::vector<float> volumes;
    Player->OnMediaPlayerPositionChanged = [&](TVlcPlayer*, float value) {
        positions.push_back(value);
    };
    Player->OnMediaPlayerAudioVolume = [&](TVlcPlayer*, float value) {
        volumes.push_back(value);
    };
    for (float value : {0.25f, 0.1234f, 0.9996f}) {
        libvlc_event_t position = MakeEvent(libvlc_MediaPlayerPositionChanged);
        position.u.media_player_position_changed.new_position = value;
        RaiseFromLibraryThread(position);
    }
    for (float value : {1.0f, -1.0f, 2.0f}) {
        libvlc_event_t volume = MakeEvent(libvlc_MediaPlayerAudioVolume);
        volume.u.media_player_audio_volume.volume = value;
        RaiseFromLibraryThread(volume);
    }
    ASSERT_TRUE(WaitUntil([&] { return volumes.size() == 3; }));
    EXPECT_EQ(positions, (std::vector<float>{0.25f, 0.123f, 1.0f}));
    EXPECT_EQ(volumes, (std::vector<float>{1.0f, -1.0f, 2.0f}));
}

TEST_F(TVlcPlayerTest, FlagsAndNumbersArriveAsTheLibrarySentThem) {
    std::vector<std::string> seen;
    Player->OnMediaPlayerSeekableChanged = [&](TVlcPlayer*, bool value) {
        seen.push_back(std::string("seekable ") + (value ? "true" : "false"));
    };
    Player->OnMediaPlayerPausableChanged = [&](TVlcPlayer*, bool value) {
        seen.push_back(std::string("pausable ") + (value ? "true" : "false"));
    };
    Player->OnMediaPlayerTitleChanged = [&](TVlcPlayer*, std::int32_t value) {
        seen.push_back("title " + std::to_string(value));
    };
    Player->OnMediaPlayerVideoOutChanged = [&](TVlcPlayer*, std::int32_t value) {
        seen.push_back("vout " + std::to_string(value));
    };
    Player->OnMediaPlayerScrambledChanged = [&](TVlcPlayer*, std::int32_t value) {
        seen.push_back("scrambled " + std::to_string(value));
    };
    libvlc_event_t event = MakeEvent(libvlc_MediaPlayerSeekableChanged);
    event.u.media_player_seekable_changed.new_seekable = 5;
    RaiseFromLibraryThread(event);
    event = MakeEvent(libvlc_MediaPlayerPausableChanged);
    event.u.media_player_pausable_changed.new_pausable = 0;
    RaiseFromLibraryThread(event);
    event = MakeEvent(libvlc_MediaPlayerTitleChanged);
    event.u.media_player_title_changed.new_title = -3;
    RaiseFromLibraryThread(event);
    event = MakeEvent(libvlc_MediaPlayerVout);
    event.u.media_player_vout.new_count = 2;
    RaiseFromLibraryThread(event);
    event = MakeEvent(libvlc_MediaPlayerScrambledChanged);
    event.u.media_player_scrambled_changed.new_scrambled = 1;
    RaiseFromLibraryThread(event);
    ASSERT_TRUE(WaitUntil([&] { return seen.size() == 5; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"seekable true", "pausable false", "title -3",
                                              "vout 2", "scrambled 1"}));
}

TEST_F(TVlcPlayerTest, EachEventWithoutArgumentsRaisesItsOwnHandler) {
    struct TCase {
        libvlc_event_e Type;
        TVlcPlayer::TNotifyEvent TVlcPlayer::*Handler;
    };
    const TCase cases[] = {
        {libvlc_MediaPlayerNothingSpecial, &TVlcPlayer::OnMediaPlayerNothingSpecial},
        {libvlc_MediaPlayerOpening, &TVlcPlayer::OnMediaPlayerOpening},
        {libvlc_MediaPlayerBuffering, &TVlcPlayer::OnMediaPlayerBuffering},
        {libvlc_MediaPlayerPlaying, &TVlcPlayer::OnMediaPlayerPlaying},
        {libvlc_MediaPlayerPaused, &TVlcPlayer::OnMediaPlayerPaused},
        {libvlc_MediaPlayerStopped, &TVlcPlayer::OnMediaPlayerStopped},
        {libvlc_MediaPlayerForward, &TVlcPlayer::OnMediaPlayerForward},
        {libvlc_MediaPlayerBackward, &TVlcPlayer::OnMediaPlayerBackward},
        {libvlc_MediaPlayerEndReached, &TVlcPlayer::OnMediaPlayerEndReached},
        {libvlc_MediaPlayerEncounteredError, &TVlcPlayer::OnMediaPlayerEncounteredError},
        {libvlc_MediaPlayerCorked, &TVlcPlayer::OnMediaPlayerCorked},
        {libvlc_MediaPlayerUncorked, &TVlcPlayer::OnMediaPlayerUnCorked},
        {libvlc_MediaPlayerMuted, &TVlcPlayer::OnMediaPlayerMuted},
        {libvlc_MediaPlayerUnmuted, &TVlcPlayer::OnMediaPlayerUnMuted},
    };
    std::vector<int> raised;
    for (const TCase& c : cases)
        Player->*c.Handler = [&raised, c](TVlcPlayer*) {
            raised.push_back(c.Type);
        };
    std::vector<int> expected;
    for (const TCase& c : cases) {
        RaiseFromLibraryThread(MakeEvent(c.Type));
        expected.push_back(c.Type);
    }
    ASSERT_TRUE(WaitUntil([&] { return raised.size() == expected.size(); }));
    EXPECT_EQ(raised, expected);
    // Without a library there is no error text to read.
    EXPECT_EQ(Player->LastError(), "");
}

TEST_F(TVlcPlayerTest, RawEventRunsOnTheLibraryThreadAndOtherTypesPostNothing) {
    std::atomic<int> rawCalls{0};
    std::atomic<bool> rawOnUiThread{false};
    QThread* uiThread = QThread::currentThread();
    Player->SetOnMediaPlayerEvent([&](const libvlc_event_t* event, void* data) {
        EXPECT_EQ(data, Player);
        EXPECT_NE(event, nullptr);
        if (QThread::currentThread() == uiThread)
            rawOnUiThread = true;
        ++rawCalls;
    });
    // Types the control does not handle: 276 to 278 (elementary streams), 284 and later.
    for (libvlc_event_e type : {libvlc_MediaPlayerESAdded, libvlc_MediaPlayerESSelected,
                                libvlc_MediaPlayerAudioDevice, libvlc_MediaPlayerChapterChanged})
        RaiseFromLibraryThread(MakeEvent(type));
    RaiseFromLibraryThread(MakeEvent(libvlc_MediaPlayerPlaying));
    ASSERT_TRUE(WaitUntil([&] { return Messages.Count == 1; }));
    ProcessEventsFor(100);
    EXPECT_EQ(Messages.Count, 1);
    EXPECT_EQ(rawCalls.load(), 5);
    EXPECT_FALSE(rawOnUiThread.load());
}

TEST_F(TVlcPlayerTest, SnapshotNameIsCopiedBeforeTheLibraryReusesIt) {
    std::vector<std::string> names;
    Player->OnMediaPlayerSnapshotTaken = [&](TVlcPlayer*, const std::string& name) {
        names.push_back(name);
    };
    char buffer[64];
    std::strcpy(buffer, "/tmp/snapshot-1.png");
    libvlc_event_t event = MakeEvent(libvlc_MediaPlayerSnapshotTaken);
    event.u.media_player_snapshot_taken.psz_filename = buffer;
    RaiseFromLibraryThread(event);
    std::strcpy(buffer, "overwritten");
    EXPECT_EQ(TVlcPlayer::HeldEventPayloads(), 1);
    ASSERT_TRUE(WaitUntil([&] { return names.size() == 1; }));
    EXPECT_EQ(names[0], "/tmp/snapshot-1.png");
    EXPECT_EQ(TVlcPlayer::HeldEventPayloads(), 0);
}

TEST_F(TVlcPlayerTest, MessagesQueuedForADestroyedControlAreDroppedAndTheirCopiesFreed) {
    bool raised = false;
    Player->OnMediaPlayerSnapshotTaken = [&](TVlcPlayer*, const std::string&) {
        raised = true;
    };
    Player->OnMediaPlayerPlaying = [&](TVlcPlayer*) {
        raised = true;
    };
    char name[] = "/tmp/snapshot-2.png";
    libvlc_event_t event = MakeEvent(libvlc_MediaPlayerSnapshotTaken);
    event.u.media_player_snapshot_taken.psz_filename = name;
    RaiseFromLibraryThread(event);
    RaiseFromLibraryThread(MakeEvent(libvlc_MediaPlayerPlaying));
    EXPECT_EQ(TVlcPlayer::HeldEventPayloads(), 1);
    delete Player;
    Player = nullptr;
    EXPECT_EQ(TVlcPlayer::HeldEventPayloads(), 0);
    ProcessEventsFor(100);
    EXPECT_FALSE(raised);
}

TEST_F(TVlcPlayerTest, UnassignedEventsDoNothing) {
    libvlc_event_t time = MakeEvent(libvlc_MediaPlayerTimeChanged);
    time.u.media_player_time_changed.new_time = 10;
    RaiseFromLibraryThread(time);
    RaiseFromLibraryThread(MakeEvent(libvlc_MediaPlayerEncounteredError));
    ASSERT_TRUE(WaitUntil([&] { return Messages.Count == 2; }));
    EXPECT_EQ(Player->LastError(), "");
}

TEST(TVlcPlayerSiteLinkTest, OnlyHttpLinksToTheSiteGoThroughThePage) {
    struct TCase {
        const char* Mrl;
        bool SiteLink;
    };
    const TCase cases[] = {
        {"http://tubevista.example/watch?v=abc", true},
        {"HTTPS://WWW.TubeVista.Example/watch?v=abc", true},
        {"  https://www.tubevista.example  ", true},
        {"http://tubevista.example", true},
        {"http://tubevista.example:80/watch", false}, // a port is another host
        {"http://cdn.tubevista.example/watch", false},
        {"rtsp://tubevista.example/watch", false},
        {"udp://@239.0.0.1:1234", false},
        {"/home/user/tubevista.example/video.ts", false},
        {"https://127.0.0.1:8443/live/11.ts", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TVlcPlayer::IsSiteLink(QString::fromUtf8(c.Mrl)), c.SiteLink) << c.Mrl;
}

TEST(TVlcPlayerPropertyTest, DefaultsAndWriteRules) {
    QWidget window;
    TVlcPlayer player(&window);
    EXPECT_EQ(player.size(), QSize(320, 240));
    EXPECT_EQ(player.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_TRUE(player.SpuShow());
    EXPECT_TRUE(player.OsdShow());
    EXPECT_FALSE(player.TitleShow());
    EXPECT_EQ(player.TitleShowPos(), vlcPosCenter);
    EXPECT_EQ(player.TitleShowTimeOut(), 2000u);
    EXPECT_EQ(player.SnapShotFmt(), "png");
    EXPECT_EQ(player.DeinterlaceFilter(), deOFF);
    EXPECT_EQ(player.DeinterlaceModeName(), QStringLiteral("discard"));
    EXPECT_TRUE(player.UseEvents());
    EXPECT_EQ(player.MouseEventsHandler(), mehComponent);

    for (const auto& [written, read] : {std::pair{"JPG", "jpg"}, std::pair{"bmp", "png"},
                                        std::pair{"Png", "png"}, std::pair{"", "png"}}) {
        player.SetSnapShotFmt("jpg");
        player.SetSnapShotFmt(written);
        EXPECT_EQ(player.SnapShotFmt(), read) << written;
    }
    player.SetDeinterlaceMode(dmYADIF2x);
    EXPECT_EQ(player.DeinterlaceModeName(), QStringLiteral("yadif2x"));
    // Teletext needs a playing stream; without one the request changes nothing.
    player.SetViewTeletext(true);
    EXPECT_FALSE(player.ViewTeletext());
}

TEST(TVlcPlayerPropertyTest, ControlWithoutParentOrOwnerNeverPlays) {
    TVlcPlayer player(nullptr);
    player.Play(QStringLiteral("http://127.0.0.1:1/stream.ts"));
    EXPECT_EQ(player.GetState(), 0);
    EXPECT_EQ(player.parentWidget(), nullptr);
}

namespace {

// The overlay over the picture, driven with the mouse events that Qt gives it.
class TVlcMouseOverlayTest : public testing::Test {
protected:
    TVlcMouseOverlayTest() : Player(new TVlcPlayer(&Window)) {
        Window.resize(400, 300);
        Player->ApplyBounds(0, 0, 400, 300);
        Overlay = Player->findChild<QWidget*>(QStringLiteral("MouseOverlay"));
        Player->OnClick = [this](TVlcPlayer* sender) {
            Note(sender, "click");
        };
        Player->OnDblClick = [this](TVlcPlayer* sender) {
            Note(sender, "dblclick");
        };
        Player->OnMouseDown = [this](TVlcPlayer* sender, Qt::MouseButton button,
                                     Qt::KeyboardModifiers, int x, int y) {
            Note(sender, "down " + std::to_string(button) + " " + std::to_string(x) + "," +
                             std::to_string(y));
        };
        Player->OnMouseUp = [this](TVlcPlayer* sender, Qt::MouseButton button,
                                   Qt::KeyboardModifiers, int, int) {
            Note(sender, "up " + std::to_string(button));
        };
        Player->OnMouseMove = [this](TVlcPlayer* sender, Qt::MouseButtons, Qt::KeyboardModifiers,
                                     int x, int y) {
            Note(sender, "move " + std::to_string(x) + "," + std::to_string(y));
        };
    }
    ~TVlcMouseOverlayTest() override { delete Player; }

    void Note(TVlcPlayer* sender, const std::string& what) {
        EXPECT_EQ(sender, Player);
        Seen.push_back(what);
    }

    void Mouse(QEvent::Type type, Qt::MouseButton button, QPoint at) {
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, QPointF(at), QPointF(Overlay->mapToGlobal(at)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(Overlay, &event);
    }

    QWidget Window;
    TVlcPlayer* Player;
    QWidget* Overlay = nullptr;
    std::vector<std::string> Seen;
};

} // namespace

TEST_F(TVlcMouseOverlayTest, OverlayCoversThePictureAndTurnsMouseInputIntoTheControlsEvents) {
    ASSERT_NE(Overlay, nullptr);
    EXPECT_EQ(Overlay->geometry(), QRect(0, 0, 400, 300));
    EXPECT_FALSE(Overlay->testAttribute(Qt::WA_NativeWindow));

    const QPoint at(120, 80);
    Mouse(QEvent::MouseMove, Qt::NoButton, at);
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, at);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, at);
    Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, at);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, at);
    EXPECT_EQ(Seen, (std::vector<std::string>{"move 120,80", "down 1 120,80", "click", "up 1",
                                              "dblclick", "down 1 120,80", "up 1"}));

    Player->ApplyBounds(10, 10, 200, 100);
    EXPECT_EQ(Overlay->geometry(), QRect(0, 0, 200, 100));
}

TEST_F(TVlcMouseOverlayTest, RightClickOpensThePopupMenuAndTellsTheOwner) {
    QMenu menu;
    menu.addAction(QStringLiteral("&Play"));
    int opened = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { ++opened; });
    Player->PopupMenu = &menu;
    Window.show();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(50, 50),
                            Overlay->mapToGlobal(QPoint(50, 50)));
    QApplication::sendEvent(Overlay, &event);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(menu.isVisible());
    menu.close();
}

TEST_F(TVlcMouseOverlayTest, InLibraryModeTheControlsEventsStaySilent) {
    Player->SetMouseEventsHandler(mehLibrary);
    EXPECT_EQ(Overlay->geometry(), QRect(-1, -1, 1, 1));
    Player->ApplyBounds(0, 0, 300, 200);
    EXPECT_EQ(Overlay->geometry(), QRect(-1, -1, 1, 1));

    QMenu menu;
    int opened = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { ++opened; });
    Player->PopupMenu = &menu;
    QWidget* video = Overlay->parentWidget();
    const QPoint at(100, 100);
    for (QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
        QMouseEvent mouse(type, QPointF(at), QPointF(video->mapToGlobal(at)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(video, &mouse);
    }
    QContextMenuEvent context(QContextMenuEvent::Mouse, at, video->mapToGlobal(at));
    QApplication::sendEvent(video, &context);
    EXPECT_TRUE(Seen.empty());
    EXPECT_EQ(opened, 0);

    Player->SetMouseEventsHandler(mehComponent);
    EXPECT_EQ(Overlay->geometry(), QRect(0, 0, 300, 200));
}
