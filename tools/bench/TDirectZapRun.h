#pragma once

#include "tools/bench/TClientZapRun.h"
#include "tools/bench/TFrameWatcher.h"
#include "tools/bench/TZapReport.h"

#include <vlc/vlc.h>

#include <QRect>
#include <QString>

#include <memory>

class QWidget;
class TLibraryEventTimes;

// The same streams played straight through the media library's binding, with no client
// around them: a new instance with the client's start options, a new media player, the X
// window of a plain native widget, play. The widget is a frameless window of its own over
// the client's video area. UI thread.
class TDirectZapRun {
public:
    explicit TDirectZapRun(TFrameWatcher& watcher);
    ~TDirectZapRun(); // stops and releases what plays
    TDirectZapRun(const TDirectZapRun&) = delete;
    TDirectZapRun& operator=(const TDirectZapRun&) = delete;

    // Shows the window on the region (screen pixels) and lets the watcher look there.
    bool ShowWindow(const QRect& region);
    void HideWindow();
    QString Error() const { return error; }

    // Plays the stream and waits until the watcher sees the picture (at most timeoutMs):
    // with a new instance and media player (free the old ones first with Teardown), or with
    // keepInstance in the instance and media player there are and only a new item.
    // picture is the watcher's reference for the stream's picture.
    TZapTimes Switch(const TClientZapRun::TPlayed& played, int picture, bool keepInstance,
                     int timeoutMs);
    // Plays the stream with the player's usual start options until its picture has shown
    // for settleMs, then captures it. Invalid, with Error() saying why, when no picture
    // shows.
    TFrameWatcher::TPicture Capture(const QString& name, const QByteArray& url, int settleMs,
                                    int timeoutMs);

    // Stops and frees the media player and the instance.
    void Release();
    // The same, timed: how many milliseconds it took.
    double Teardown();

private:
    // Library thread (or the UI thread inside set_media): only notes the time.
    static void EventCallback(const libvlc_event_t* event, void* data);
    // The library calls of a new stream, as the client's player control makes them.
    void Play(const TClientZapRun::TPlayed& played, bool keepInstance, TZapTimes& times,
              TFrameWatcher::TClock::time_point start);

    TFrameWatcher& watcher;
    std::unique_ptr<QWidget> window;
    QString error;
    libvlc_instance_t* instance = nullptr;
    libvlc_media_player_t* player = nullptr;
    libvlc_event_manager_t* eventManager = nullptr;
    // Read by EventCallback on the library's threads; replaced only while no callback can
    // run (events detached, or before the first attach).
    std::shared_ptr<TLibraryEventTimes> events;
};
