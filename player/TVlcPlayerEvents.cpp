// TVlcPlayer: the library's events, from the library's threads to the UI thread.

#include "player/TVlcPlayer.h"

#include "player/VlcBinding.h"

#include "platform/TWindowMessage.h"

#include <QCoreApplication>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int MessageBase = 1024;

// The event types the control handles, in the order they are attached.
constexpr int HandledTypes[] = {256, 257, 258, 259, 260, 261, 262, 263, 264, 265, 266, 267, 268,
                                269, 270, 271, 272, 273, 274, 275, 279, 280, 281, 282, 283};

static_assert(libvlc_MediaPlayerMediaChanged == 256 && libvlc_MediaPlayerScrambledChanged == 275 &&
              libvlc_MediaPlayerCorked == 279 && libvlc_MediaPlayerAudioVolume == 283);

bool IsHandledType(int type) {
    return (type >= 256 && type <= 275) || (type >= 279 && type <= 283);
}

std::atomic<int> HeldPayloadCount{0};

// A fraction as it travels: times 1000, rounded to the nearest integer.
std::intptr_t FractionParam(double value) {
    return static_cast<std::int32_t>(std::lround(value * 1000.0));
}

float FractionOf(std::intptr_t param) {
    return static_cast<float>(static_cast<std::int32_t>(param) / 1000.0);
}

// A 64-bit value travels split: the high half in WParam, the low half in LParam.
void SplitParams(std::int64_t value, std::intptr_t& wParam, std::intptr_t& lParam) {
    wParam = static_cast<std::int32_t>(static_cast<std::uint64_t>(value) >> 32);
    lParam = static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu);
}

std::int64_t JoinParams(std::intptr_t wParam, std::intptr_t lParam) {
    return static_cast<std::int64_t>(static_cast<std::int32_t>(wParam)) * 4294967296LL +
           static_cast<std::int64_t>(static_cast<std::uint32_t>(lParam));
}

void ReleasePayload(int type, void* payload) {
    if (payload == nullptr)
        return;
    if (type == libvlc_MediaPlayerMediaChanged) {
        if (LibVlc.libvlc_media_release != nullptr)
            LibVlc.libvlc_media_release(static_cast<libvlc_media_t*>(payload));
    } else {
        std::free(payload);
    }
    --HeldPayloadCount;
}

} // namespace

int TVlcPlayer::HeldEventPayloads() {
    return HeldPayloadCount.load();
}

void TVlcPlayer::SetOnMediaPlayerEvent(TRawEvent handler) {
    std::lock_guard<std::mutex> guard(PayloadLock);
    OnMediaPlayerEvent = std::move(handler);
}

std::string TVlcPlayer::LastError() {
    std::lock_guard<std::mutex> guard(EventLock);
    return FLastError;
}

void TVlcPlayer::AttachEvents() {
    DetachEvents();
    if (PlayerHandle == nullptr)
        return;
    EventManager = LibVlc.libvlc_media_player_event_manager(PlayerHandle);
    if (EventManager == nullptr)
        return;
    for (int type : HandledTypes)
        LibVlc.libvlc_event_attach(EventManager, type, &TVlcPlayer::EventCallback, this);
}

// The library holds its event manager's lock while a callback runs, so once this returns no
// callback of this control is running or will start.
void TVlcPlayer::DetachEvents() {
    if (EventManager == nullptr)
        return;
    for (int i = static_cast<int>(std::size(HandledTypes)) - 1; i >= 0; --i)
        LibVlc.libvlc_event_detach(EventManager, HandledTypes[i], &TVlcPlayer::EventCallback, this);
}

// Library thread (or the UI thread inside a library call such as set_media). Only copies
// what the message needs and posts it: the control's fields are not touched except under
// PayloadLock, and the only library call is the retain of the new item, which keeps it alive
// until its handler has run.
void TVlcPlayer::EventCallback(const libvlc_event_t* event, void* data) {
    auto* control = static_cast<TVlcPlayer*>(data);
    if (control == nullptr || event == nullptr)
        return;
    TRawEvent raw;
    {
        std::lock_guard<std::mutex> guard(control->PayloadLock);
        raw = control->OnMediaPlayerEvent;
    }
    if (raw)
        raw(event, control);

    const int type = event->type;
    if (!IsHandledType(type))
        return;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
    void* payload = nullptr;
    switch (type) {
    case libvlc_MediaPlayerMediaChanged:
        if (event->u.media_player_media_changed.new_media != nullptr &&
            LibVlc.libvlc_media_retain != nullptr) {
            payload = event->u.media_player_media_changed.new_media;
            LibVlc.libvlc_media_retain(static_cast<libvlc_media_t*>(payload));
        }
        break;
    case libvlc_MediaPlayerTimeChanged:
        SplitParams(event->u.media_player_time_changed.new_time, wParam, lParam);
        break;
    case libvlc_MediaPlayerPositionChanged:
        wParam = FractionParam(event->u.media_player_position_changed.new_position);
        break;
    case libvlc_MediaPlayerSeekableChanged:
        wParam = event->u.media_player_seekable_changed.new_seekable;
        break;
    case libvlc_MediaPlayerPausableChanged:
        wParam = event->u.media_player_pausable_changed.new_pausable;
        break;
    case libvlc_MediaPlayerTitleChanged:
        wParam = event->u.media_player_title_changed.new_title;
        break;
    case libvlc_MediaPlayerSnapshotTaken:
        if (event->u.media_player_snapshot_taken.psz_filename != nullptr)
            payload = strdup(event->u.media_player_snapshot_taken.psz_filename);
        break;
    case libvlc_MediaPlayerLengthChanged:
        SplitParams(event->u.media_player_length_changed.new_length, wParam, lParam);
        break;
    case libvlc_MediaPlayerVout:
        wParam = event->u.media_player_vout.new_count;
        break;
    case libvlc_MediaPlayerScrambledChanged:
        wParam = event->u.media_player_scrambled_changed.new_scrambled;
        break;
    case libvlc_MediaPlayerAudioVolume:
        wParam = FractionParam(event->u.media_player_audio_volume.volume);
        break;
    default:
        break;
    }
    if (payload != nullptr) {
        lParam = reinterpret_cast<std::intptr_t>(payload);
        ++HeldPayloadCount;
        std::lock_guard<std::mutex> guard(control->PayloadLock);
        control->HeldPayloads.emplace_back(type, payload);
    }
    // Posted, never sent: the library's thread must not wait for the UI thread, which may
    // itself be waiting in a library call.
    TWindowMessage::Post(control, MessageBase + type, wParam, lParam);
}

bool TVlcPlayer::event(QEvent* event) {
    TWindowMessage* message = TWindowMessage::From(event);
    if (message != nullptr && IsHandledType(message->Msg() - MessageBase)) {
        HandleEventMessage(message);
        message->Result = 0;
        return true;
    }
    return QWidget::event(event);
}

void* TVlcPlayer::TakePayload(std::intptr_t address) {
    void* payload = reinterpret_cast<void*>(address);
    if (payload == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> guard(PayloadLock);
    for (auto it = HeldPayloads.begin(); it != HeldPayloads.end(); ++it) {
        if (it->second == payload) {
            HeldPayloads.erase(it);
            return payload;
        }
    }
    return nullptr;
}

// After DetachEvents no callback adds to the list; the messages that carry what is left are
// removed from the queue first, so that no handler can take a payload released here.
void TVlcPlayer::ReleaseHeldPayloads() {
    QCoreApplication::removePostedEvents(this);
    std::vector<std::pair<int, void*>> held;
    {
        std::lock_guard<std::mutex> guard(PayloadLock);
        held.swap(HeldPayloads);
    }
    for (const auto& [type, payload] : held)
        ReleasePayload(type, payload);
}

void TVlcPlayer::HandleEventMessage(TWindowMessage* message) {
    const int type = message->Msg() - MessageBase;
    const std::intptr_t wParam = message->WParam;
    const std::intptr_t lParam = message->LParam;
    auto notify = [this](const TNotifyEvent& handler) {
        if (handler)
            handler(this);
    };
    switch (type) {
    case libvlc_MediaPlayerMediaChanged: {
        void* item = TakePayload(lParam);
        if (OnMediaPlayerMediaChanged) {
            std::string mrl;
            if (item != nullptr) {
                char* text = LibVlc.libvlc_media_get_mrl(static_cast<libvlc_media_t*>(item));
                mrl = text != nullptr ? text : "";
                LibVlcFree(text);
            }
            ReleasePayload(type, item);
            OnMediaPlayerMediaChanged(this, mrl);
        } else {
            ReleasePayload(type, item);
        }
        break;
    }
    case libvlc_MediaPlayerNothingSpecial:
        notify(OnMediaPlayerNothingSpecial);
        break;
    case libvlc_MediaPlayerOpening:
        notify(OnMediaPlayerOpening);
        break;
    case libvlc_MediaPlayerBuffering:
        notify(OnMediaPlayerBuffering);
        break;
    case libvlc_MediaPlayerPlaying:
        notify(OnMediaPlayerPlaying);
        break;
    case libvlc_MediaPlayerPaused:
        notify(OnMediaPlayerPaused);
        break;
    case libvlc_MediaPlayerStopped:
        notify(OnMediaPlayerStopped);
        break;
    case libvlc_MediaPlayerForward:
        notify(OnMediaPlayerForward);
        break;
    case libvlc_MediaPlayerBackward:
        notify(OnMediaPlayerBackward);
        break;
    case libvlc_MediaPlayerEndReached:
        notify(OnMediaPlayerEndReached);
        break;
    case libvlc_MediaPlayerEncounteredError: {
        {
            std::lock_guard<std::mutex> guard(EventLock);
            const char* text = LibVlc.libvlc_errmsg != nullptr ? LibVlc.libvlc_errmsg() : nullptr;
            FLastError = text != nullptr ? text : "";
        }
        notify(OnMediaPlayerEncounteredError);
        break;
    }
    case libvlc_MediaPlayerTimeChanged:
        if (OnMediaPlayerTimeChanged)
            OnMediaPlayerTimeChanged(this, JoinParams(wParam, lParam));
        break;
    case libvlc_MediaPlayerPositionChanged:
        if (OnMediaPlayerPositionChanged)
            OnMediaPlayerPositionChanged(this, FractionOf(wParam));
        break;
    case libvlc_MediaPlayerSeekableChanged:
        if (OnMediaPlayerSeekableChanged)
            OnMediaPlayerSeekableChanged(this, wParam != 0);
        break;
    case libvlc_MediaPlayerPausableChanged:
        if (OnMediaPlayerPausableChanged)
            OnMediaPlayerPausableChanged(this, wParam != 0);
        break;
    case libvlc_MediaPlayerTitleChanged:
        if (OnMediaPlayerTitleChanged)
            OnMediaPlayerTitleChanged(this, static_cast<std::int32_t>(wParam));
        break;
    case libvlc_MediaPlayerSnapshotTaken: {
        void* fileName = TakePayload(lParam);
        const std::string text = fileName != nullptr ? static_cast<const char*>(fileName) : "";
        ReleasePayload(type, fileName);
        if (OnMediaPlayerSnapshotTaken)
            OnMediaPlayerSnapshotTaken(this, text);
        break;
    }
    case libvlc_MediaPlayerLengthChanged:
        if (OnMediaPlayerLengthChanged)
            OnMediaPlayerLengthChanged(this, JoinParams(wParam, lParam));
        break;
    case libvlc_MediaPlayerVout:
        if (OnMediaPlayerVideoOutChanged)
            OnMediaPlayerVideoOutChanged(this, static_cast<std::int32_t>(wParam));
        break;
    case libvlc_MediaPlayerScrambledChanged:
        if (OnMediaPlayerScrambledChanged)
            OnMediaPlayerScrambledChanged(this, static_cast<std::int32_t>(wParam));
        break;
    case libvlc_MediaPlayerCorked:
        notify(OnMediaPlayerCorked);
        break;
    case libvlc_MediaPlayerUncorked:
        notify(OnMediaPlayerUnCorked);
        break;
    case libvlc_MediaPlayerMuted:
        notify(OnMediaPlayerMuted);
        break;
    case libvlc_MediaPlayerUnmuted:
        notify(OnMediaPlayerUnMuted);
        break;
    case libvlc_MediaPlayerAudioVolume:
        if (OnMediaPlayerAudioVolume)
            OnMediaPlayerAudioVolume(this, FractionOf(wParam));
        break;
    default:
        break;
    }
}
