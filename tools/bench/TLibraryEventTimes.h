#pragma once

#include <vlc/vlc.h>

#include <atomic>
#include <chrono>
#include <cstdint>

// When a media player first reported the events that mark a channel's start and end: the
// new item set, playing, a video output made, and stopped. Written on the library's threads (and on
// the UI thread inside set_media), read on the UI thread: every field is atomic and written once.
class TLibraryEventTimes {
public:
    using TClock = std::chrono::steady_clock;

    // Library thread or UI thread: notes the event's time if it is the first of its kind.
    // Calls nothing in the library.
    void Note(const libvlc_event_t* event);

    // Milliseconds from start to the event; NaN when it has not come.
    double MediaSetMs(TClock::time_point start) const { return Since(mediaSet, start); }
    double PlayingMs(TClock::time_point start) const { return Since(playing, start); }
    double VoutMs(TClock::time_point start) const { return Since(vout, start); }
    double StoppedMs(TClock::time_point start) const { return Since(stopped, start); }
    bool HasVout() const { return vout.load() != 0; }

private:
    static double Since(const std::atomic<std::int64_t>& at, TClock::time_point start);

    // Nanoseconds of TClock, 0 until the event came.
    std::atomic<std::int64_t> mediaSet{0};
    std::atomic<std::int64_t> playing{0};
    std::atomic<std::int64_t> vout{0};
    std::atomic<std::int64_t> stopped{0};
};
