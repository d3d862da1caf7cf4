#include "tools/bench/TDirectZapRun.h"

#include "player/VlcBinding.h"
#include "tools/bench/BenchWait.h"
#include "tools/bench/TLibraryEventTimes.h"

#include <QGuiApplication>
#include <QPalette>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace {

constexpr int ExposeTimeoutMs = 10000;
constexpr int CaptureMs = 600;
// How far from black a captured picture must be to be one.
constexpr double MinPictureDistance = 20;

// The events TLibraryEventTimes notes.
constexpr libvlc_event_type_t NotedEvents[] = {libvlc_MediaPlayerMediaChanged,
                                               libvlc_MediaPlayerPlaying, libvlc_MediaPlayerVout};

double MsBetween(TFrameWatcher::TClock::time_point from, TFrameWatcher::TClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

TDirectZapRun::TDirectZapRun(TFrameWatcher& watcher) : watcher(watcher) {}

TDirectZapRun::~TDirectZapRun() {
    Release();
}

bool TDirectZapRun::ShowWindow(const QRect& region) {
    if (window == nullptr) {
        // Above everything and placed exactly, also under a window manager; never takes the
        // focus from the client's window.
        window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint |
                                                        Qt::X11BypassWindowManagerHint |
                                                        Qt::WindowDoesNotAcceptFocus);
        window->setWindowTitle(QStringLiteral("kavrien-zap-bench: direct play"));
        window->setAttribute(Qt::WA_NativeWindow);
        window->setAttribute(Qt::WA_ShowWithoutActivating);
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, Qt::black);
        window->setPalette(palette);
        window->setAutoFillBackground(true);
    }
    const qreal ratio = qGuiApp->devicePixelRatio();
    window->setGeometry(QRect(qRound(region.x() / ratio), qRound(region.y() / ratio),
                              qRound(region.width() / ratio), qRound(region.height() / ratio)));
    window->show();
    window->raise();
    if (!RunEventsUntil(
            [this] {
                return window->windowHandle() != nullptr && window->windowHandle()->isExposed();
            },
            ExposeTimeoutMs)) {
        error = QStringLiteral("the direct play's window was not shown");
        return false;
    }
    RunEventsFor(100);
    watcher.SetRegion(region);
    return true;
}

void TDirectZapRun::HideWindow() {
    if (window != nullptr)
        window->hide();
    RunEventsFor(100);
}

void TDirectZapRun::EventCallback(const libvlc_event_t* event, void* data) {
    static_cast<TLibraryEventTimes*>(data)->Note(event);
}

void TDirectZapRun::Release() {
    if (player != nullptr) {
        LibVlc.libvlc_media_player_stop(player);
        // Detaching waits for a callback that runs; none starts afterwards.
        for (libvlc_event_type_t type : NotedEvents)
            LibVlc.libvlc_event_detach(eventManager, type, &TDirectZapRun::EventCallback,
                                       events.get());
        LibVlc.libvlc_media_player_release(player);
        player = nullptr;
        eventManager = nullptr;
    }
    if (instance != nullptr) {
        LibVlc.libvlc_release(instance);
        instance = nullptr;
    }
}

double TDirectZapRun::Teardown() {
    const auto before = TFrameWatcher::TClock::now();
    Release();
    return MsBetween(before, TFrameWatcher::TClock::now());
}

void TDirectZapRun::Play(const TClientZapRun::TPlayed& played, bool keepInstance, TZapTimes& times,
                         TFrameWatcher::TClock::time_point start) {
    if (player != nullptr && keepInstance) {
        for (libvlc_event_type_t type : NotedEvents)
            LibVlc.libvlc_event_detach(eventManager, type, &TDirectZapRun::EventCallback,
                                       events.get());
    } else {
        Release();
    }
    events = std::make_shared<TLibraryEventTimes>();
    if (instance == nullptr) {
        std::vector<const char*> argv;
        for (const std::string& argument : played.Arguments)
            argv.push_back(argument.c_str());
        instance = LibVlc.libvlc_new(int(argv.size()), argv.data());
        times.InstanceMs = MsBetween(start, TFrameWatcher::TClock::now());
        if (instance == nullptr)
            return;
        // As the player control sets up its media player.
        player = LibVlc.libvlc_media_player_new(instance);
        if (player == nullptr)
            return;
        LibVlc.libvlc_video_set_mouse_input(player, 1);
        LibVlc.libvlc_video_set_key_input(player, 1);
        if (LibVlcVersion >= 0x20100)
            LibVlc.libvlc_media_player_set_video_title_display(
                player, played.TitleShow ? libvlc_position_center : libvlc_position_disable, 2000);
        eventManager = LibVlc.libvlc_media_player_event_manager(player);
    } else {
        LibVlc.libvlc_media_player_stop(player);
    }
    for (libvlc_event_type_t type : NotedEvents)
        LibVlc.libvlc_event_attach(eventManager, type, &TDirectZapRun::EventCallback, events.get());
    LibVlc.libvlc_audio_set_volume(player, played.Volume);
    libvlc_media_t* media = LibVlc.libvlc_media_new_location(instance, played.Url.constData());
    if (media == nullptr)
        return;
    for (const std::string& option : played.MediaOptions)
        LibVlc.libvlc_media_add_option(media, option.c_str());
    LibVlc.libvlc_media_player_set_media(player, media);
    LibVlc.libvlc_media_release(media);
    LibVlc.libvlc_media_player_set_xwindow(player, std::uint32_t(window->winId()));
    LibVlc.libvlc_media_player_play(player);
}

TZapTimes TDirectZapRun::Switch(const TClientZapRun::TPlayed& played, int picture,
                                bool keepInstance, int timeoutMs) {
    TZapTimes times;
    LibVlcLoadDefault();
    if (!LibVlcError.empty()) {
        times.Error = QStringLiteral("the media library cannot be used: ") +
                      QString::fromStdString(LibVlcError);
        return times;
    }
    watcher.Arm(picture);
    const auto start = TFrameWatcher::TClock::now();
    Play(played, keepInstance, times, start);
    if (player == nullptr) {
        watcher.Disarm();
        times.Error = QStringLiteral("no media player");
        return times;
    }
    TFrameWatcher::TClock::time_point seenAt;
    TFrameWatcher::TClock::time_point notBefore;
    const bool seen = RunEventsUntil([&] { return watcher.Seen(&seenAt, &notBefore); }, timeoutMs);
    watcher.Disarm();
    times.MediaMs = events->MediaSetMs(start);
    times.VoutMs = events->VoutMs(start);
    if (seen) {
        times.FrameMs = MsBetween(start, seenAt);
        times.FrameNotBeforeMs = MsBetween(start, notBefore);
    } else {
        times.Error = QStringLiteral("no picture within %1 ms").arg(timeoutMs);
    }
    return times;
}

TFrameWatcher::TPicture TDirectZapRun::Capture(const QString& name, const QByteArray& url,
                                               int settleMs, int timeoutMs) {
    LibVlcLoadDefault();
    if (!LibVlcError.empty()) {
        error = QStringLiteral("the media library cannot be used: ") +
                QString::fromStdString(LibVlcError);
        return {};
    }
    TClientZapRun::TPlayed played;
    played.Url = url;
    played.Arguments = {LibVlcFolder,   "--ignore-config", "--no-one-instance",
                        "--intf=dummy", "--quiet",         "--verbose=0"};
    played.Volume = 0;
    TZapTimes ignored;
    Play(played, false, ignored, TFrameWatcher::TClock::now());
    if (player == nullptr) {
        error = QStringLiteral("no media player");
        return {};
    }
    if (!RunEventsUntil([this] { return events->HasVout(); }, timeoutMs)) {
        error = QStringLiteral("%1 made no video output within %2 ms")
                    .arg(QString::fromLatin1(url))
                    .arg(timeoutMs);
        return {};
    }
    // The picture follows the output after the library's buffering; look until it shows.
    const TFrameWatcher::TPicture black = TFrameWatcher::Black();
    RunEventsFor(settleMs);
    TFrameWatcher::TPicture picture = watcher.Capture(name, CaptureMs);
    for (int waitedMs = 0;
         TFrameWatcher::Distance(picture.Features, black.Features) < MinPictureDistance &&
         waitedMs < timeoutMs;
         waitedMs += 500) {
        RunEventsFor(500);
        picture = watcher.Capture(name, CaptureMs);
    }
    if (TFrameWatcher::Distance(picture.Features, black.Features) < MinPictureDistance) {
        error = QStringLiteral("%1 shows no picture").arg(QString::fromLatin1(url));
        return {};
    }
    return picture;
}
