#include "tools/bench/TLibraryEventTimes.h"

#include <limits>

namespace {

void SetOnce(std::atomic<std::int64_t>& field, std::int64_t value) {
    std::int64_t none = 0;
    field.compare_exchange_strong(none, value);
}

} // namespace

void TLibraryEventTimes::Note(const libvlc_event_t* event) {
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(TClock::now().time_since_epoch())
            .count();
    switch (event->type) {
    case libvlc_MediaPlayerMediaChanged:
        SetOnce(mediaSet, now);
        break;
    case libvlc_MediaPlayerPlaying:
        SetOnce(playing, now);
        break;
    case libvlc_MediaPlayerStopped:
        // The last one: a player also reports a stop when it is given its first item.
        stopped.store(now);
        break;
    case libvlc_MediaPlayerVout:
        if (event->u.media_player_vout.new_count > 0)
            SetOnce(vout, now);
        break;
    default:
        break;
    }
}

double TLibraryEventTimes::Since(const std::atomic<std::int64_t>& at, TClock::time_point start) {
    const std::int64_t value = at.load();
    if (value == 0)
        return std::numeric_limits<double>::quiet_NaN();
    const TClock::time_point when{std::chrono::nanoseconds(value)};
    return std::chrono::duration<double, std::milli>(when - start).count();
}
