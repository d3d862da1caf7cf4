#pragma once

#include "player/TVlcLibrary.h"
#include "player/VlcEnums.h"

#include <vlc/vlc.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QMenu;
class QTimer;
class TVlcMouseOverlay;
class TWindowMessage;

// The window control in which a stream plays: one library instance and one media player,
// both made on first need, a native child window the library draws into, and a mouse
// overlay over it. The library's events arrive as posted messages 1024 + event type and are
// raised as the OnMediaPlayer... events on the UI thread.
//
// Every operation runs on the UI thread. Construction calls nothing in the library; with no
// usable library every operation does nothing.
class TVlcPlayer : public QWidget {
public:
    // The owner is also the parent. A control without one never plays.
    explicit TVlcPlayer(QWidget* owner = nullptr);
    // Detaches the events, stops playback, releases the media player and the instance.
    ~TVlcPlayer() override;
    TVlcPlayer(const TVlcPlayer&) = delete;
    TVlcPlayer& operator=(const TVlcPlayer&) = delete;

    // Moves the control and lays out its two children.
    void ApplyBounds(int left, int top, int width, int height);

    // The library instance object, made on the first call with the start options of the
    // properties. Options added to it before the first GetPlayer still count.
    TVlcLibrary* GetLibrary();
    // The media player, made with the instance on the first call that finds the library
    // usable; null otherwise. Each call attaches the events anew (once per event type).
    libvlc_media_player_t* GetPlayer();

    // Plays a URL or a file path; page links of the video-sharing site go to PlaySiteLink.
    void Play(const QString& mrl);
    // Plays the location (or the local file it names) as it is.
    void PlayDirect(const QString& mrl);
    // Plays a page link of the video-sharing site; when the library has turned the page into
    // a sub-item within timeoutMs, plays that. Returns at once: the wait runs on a timer.
    void PlaySiteLink(const QString& mrl, unsigned timeoutMs);
    void PlayFirstSubItem();
    // Returns once the library no longer plays.
    void Stop();
    // The media player's state 0 to 7 (libvlc_state_t); 0 without a media player.
    int GetState();
    // True only while playing (state 3).
    bool IsPlaying();
    // Percent, 0 to 200; other values and a missing media player are ignored.
    void SetAudioVolume(int volume);
    // Selects the track at that position of the library's audio-track list.
    void SetAudioTrack(int index);
    void ApplyTitleDisplay();
    void ApplyDeinterlace();
    // Gives the video child's X11 window to the media player.
    void BindVideoWindow();
    void ShowTeletext();
    void HideTeletext();

    // The two host names of the video-sharing site, whose http and https links Play sends
    // to PlaySiteLink.
    static const char* const SiteHost;
    static const char* const SiteWebHost;
    static constexpr unsigned SiteLinkTimeoutMs = 10000;
    static bool IsSiteLink(const QString& mrl);

    // Properties. The start options (SpuShow to AudioOutput, StartOptions) count only until
    // GetLibrary has made the instance object.
    bool SpuShow() const { return FSpuShow; }
    void SetSpuShow(bool value) { FSpuShow = value; }
    bool OsdShow() const { return FOsdShow; }
    void SetOsdShow(bool value) { FOsdShow = value; }
    bool VideoOnTop() const { return FVideoOnTop; }
    void SetVideoOnTop(bool value) { FVideoOnTop = value; }
    bool UseOverlay() const { return FUseOverlay; }
    void SetUseOverlay(bool value) { FUseOverlay = value; }
    bool SnapshotPrv() const { return FSnapshotPrv; }
    void SetSnapshotPrv(bool value) { FSnapshotPrv = value; }
    TVideoOutput VideoOutput() const { return FVideoOutput; }
    void SetVideoOutput(TVideoOutput value) { FVideoOutput = value; }
    TAudioOutput AudioOutput() const { return FAudioOutput; }
    void SetAudioOutput(TAudioOutput value) { FAudioOutput = value; }
    const std::vector<std::string>& StartOptions() const { return FStartOptions; }
    void SetStartOptions(const std::vector<std::string>& value) { FStartOptions = value; }

    // Title display: a changed value is applied to the media player at once.
    bool TitleShow() const { return FTitleShow; }
    void SetTitleShow(bool value);
    TVlcTitlePosition TitleShowPos() const { return FTitleShowPos; }
    void SetTitleShowPos(TVlcTitlePosition value);
    std::uint32_t TitleShowTimeOut() const { return FTitleShowTimeOut; }
    void SetTitleShowTimeOut(std::uint32_t value);

    // Deinterlacing: per media item, and a changed value is applied at once.
    TDeinterlaceFilter DeinterlaceFilter() const { return FDeinterlaceFilter; }
    void SetDeinterlaceFilter(TDeinterlaceFilter value);
    TDeinterlaceMode DeinterlaceMode() const { return FDeinterlaceMode; }
    void SetDeinterlaceMode(TDeinterlaceMode value);
    QString DeinterlaceModeName() const;

    // "png" or "jpg"; anything else stores "png".
    const std::string& SnapShotFmt() const { return FSnapShotFmt; }
    void SetSnapShotFmt(const std::string& value);

    // Teletext shown on the playing stream; follows the request when it could be carried out.
    bool ViewTeletext() const { return FViewTeletext; }
    void SetViewTeletext(bool value);

    // Whether GetPlayer attaches to the library's events.
    bool UseEvents() const { return FUseEvents; }
    void SetUseEvents(bool value) { FUseEvents = value; }

    // Who gets the mouse over the picture; places the overlay.
    TVlcMouseEventsHandler MouseEventsHandler() const { return FMouseEventsHandler; }
    void SetMouseEventsHandler(TVlcMouseEventsHandler value);

    // The library's error text as of the last error event.
    std::string LastError();

    // Mouse over the picture (mode mehComponent), coordinates in the control. A right click
    // opens PopupMenu; its aboutToShow tells the owner that it is about to open.
    std::function<void(TVlcPlayer* sender)> OnClick;
    std::function<void(TVlcPlayer* sender)> OnDblClick;
    std::function<void(TVlcPlayer* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                       int x, int y)>
        OnMouseDown;
    std::function<void(TVlcPlayer* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift,
                       int x, int y)>
        OnMouseMove;
    std::function<void(TVlcPlayer* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                       int x, int y)>
        OnMouseUp;
    QPointer<QMenu> PopupMenu;

    // The library's events, raised on the UI thread in the order the library sent them.
    using TNotifyEvent = std::function<void(TVlcPlayer* sender)>;
    using TTextEvent = std::function<void(TVlcPlayer* sender, const std::string& text)>;
    using TTimeEvent = std::function<void(TVlcPlayer* sender, std::int64_t timeMs)>;
    using TFloatEvent = std::function<void(TVlcPlayer* sender, float value)>;
    using TFlagEvent = std::function<void(TVlcPlayer* sender, bool value)>;
    using TIntEvent = std::function<void(TVlcPlayer* sender, std::int32_t value)>;
    TTextEvent OnMediaPlayerMediaChanged; // the new item's location
    TNotifyEvent OnMediaPlayerNothingSpecial;
    TNotifyEvent OnMediaPlayerOpening;
    TNotifyEvent OnMediaPlayerBuffering;
    TNotifyEvent OnMediaPlayerPlaying;
    TNotifyEvent OnMediaPlayerPaused;
    TNotifyEvent OnMediaPlayerStopped;
    TNotifyEvent OnMediaPlayerForward;
    TNotifyEvent OnMediaPlayerBackward;
    TNotifyEvent OnMediaPlayerEndReached;
    TNotifyEvent OnMediaPlayerEncounteredError; // after LastError is updated
    TTimeEvent OnMediaPlayerTimeChanged;
    TFloatEvent OnMediaPlayerPositionChanged; // 1/1000 precision
    TFlagEvent OnMediaPlayerSeekableChanged;
    TFlagEvent OnMediaPlayerPausableChanged;
    TIntEvent OnMediaPlayerTitleChanged;
    TTextEvent OnMediaPlayerSnapshotTaken; // the snapshot's file name
    TTimeEvent OnMediaPlayerLengthChanged;
    TIntEvent OnMediaPlayerVideoOutChanged;
    TIntEvent OnMediaPlayerScrambledChanged;
    TNotifyEvent OnMediaPlayerCorked;
    TNotifyEvent OnMediaPlayerUnCorked;
    TNotifyEvent OnMediaPlayerMuted;
    TNotifyEvent OnMediaPlayerUnMuted;
    TFloatEvent OnMediaPlayerAudioVolume; // 1/1000 precision

    // Runs on the library's thread, at once, for every event of the 25 types, with the
    // library's event record and the control. It must be safe there and must not wait for
    // the UI thread (the destructor waits for it while it runs).
    using TRawEvent = std::function<void(const libvlc_event_t* event, void* data)>;
    void SetOnMediaPlayerEvent(TRawEvent handler);

    // The function registered with the library. Runs on whatever thread the library raises
    // the event on; it copies what the message needs and posts it, nothing more.
    static void EventCallback(const libvlc_event_t* event, void* data);

    // Media items and file names that events hold for their messages, over all controls;
    // diagnostics for tests (0 when nothing is queued).
    static int HeldEventPayloads();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void PlaceChildren();
    void ConnectOverlay();
    void WaitWhilePlaying();
    void SiteLinkTimerTimer();
    void AttachEvents();
    void DetachEvents();
    void HandleEventMessage(TWindowMessage* message);
    void* TakePayload(std::intptr_t address);
    void ReleaseHeldPayloads();

    QPointer<QWidget> Owner;
    QWidget* VideoWindow = nullptr; // native: the library draws into its X11 window
    TVlcMouseOverlay* MouseOverlay = nullptr;
    std::unique_ptr<TVlcLibrary> Library;
    libvlc_media_player_t* PlayerHandle = nullptr;
    libvlc_event_manager_t* EventManager = nullptr;
    // Orders the error handler's read of the library's error text against the destructor's
    // detach, stop and release. Never taken on the library's threads.
    std::mutex EventLock;
    std::string FLastError; // guarded by EventLock

    // Shared with EventCallback on the library's threads; guarded by PayloadLock. Media items
    // (type 256, retained) and file-name copies (type 272) that posted messages carry; the
    // handler takes its payload out, the destructor releases what no handler will take.
    std::mutex PayloadLock;
    std::vector<std::pair<int, void*>> HeldPayloads;
    TRawEvent OnMediaPlayerEvent;

    QTimer* SiteLinkTimer = nullptr;
    unsigned SiteLinkRemainingMs = 0;

    // The volume last asked for, applied again while a stream's audio output starts.
    void VolumeTimerTimer();
    static constexpr int VolumeCheckMs = 100;
    static constexpr int VolumeSettleMs = 5000;
    QTimer* VolumeTimer = nullptr;
    QElapsedTimer PlayStarted;
    int RequestedVolume = -1;

    bool FSpuShow = true;
    bool FOsdShow = true;
    bool FTitleShow = false;
    TVlcTitlePosition FTitleShowPos = vlcPosCenter;
    std::uint32_t FTitleShowTimeOut = 2000;
    TVideoOutput FVideoOutput = voDefault;
    TAudioOutput FAudioOutput = aoDefault;
    bool FVideoOnTop = false;
    bool FUseOverlay = false;
    std::string FSnapShotFmt = "png";
    bool FSnapshotPrv = false;
    TDeinterlaceFilter FDeinterlaceFilter = deOFF;
    TDeinterlaceMode FDeinterlaceMode = dmDISCARD;
    bool FViewTeletext = false;
    std::vector<std::string> FStartOptions;
    bool FUseEvents = true;
    TVlcMouseEventsHandler FMouseEventsHandler = mehComponent;
};
