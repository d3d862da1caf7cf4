#include "player/TVlcPlayer.h"

#include "player/TVlcLibrary.h"
#include "player/TVlcMedia.h"
#include "player/TVlcMouseOverlay.h"
#include "player/VlcBinding.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

#include <chrono>
#include <thread>

const char* const TVlcPlayer::SiteHost = "tubevista.example";
const char* const TVlcPlayer::SiteWebHost = "www.tubevista.example";

namespace {

constexpr int WaitStepMs = 10;
// The library's stop is synchronous, so the wait after it ends at once; the bound only keeps
// a stuck library from hanging the window for good.
constexpr int StopWaitLimitMs = 5000;

void SleepStep() {
    std::this_thread::sleep_for(std::chrono::milliseconds(WaitStepMs));
}

void MakeBlack(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::black);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

libvlc_position_t LibraryPosition(TVlcTitlePosition position) {
    switch (position) {
    case vlcPosCenter:
        return libvlc_position_center;
    case vlcPosLeft:
        return libvlc_position_left;
    case vlcPosRight:
        return libvlc_position_right;
    case vlcPosTop:
        return libvlc_position_top;
    case vlcPosTopLeft:
        return libvlc_position_top_left;
    case vlcPosTopRight:
        return libvlc_position_top_right;
    case vlcPosBottom:
        return libvlc_position_bottom;
    case vlcPosBottomLeft:
        return libvlc_position_bottom_left;
    case vlcPosBottomRight:
        return libvlc_position_bottom_right;
    }
    return libvlc_position_center;
}

// The 8-bit text with its ASCII letters in lower case and blanks and control characters
// trimmed at both ends.
QByteArray LoweredTrimmed(const QString& text) {
    QByteArray bytes = text.toUtf8();
    for (char& c : bytes) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= ' ')
        --end;
    return bytes.mid(begin, end - begin);
}

} // namespace

TVlcPlayer::TVlcPlayer(QWidget* owner) : QWidget(owner), Owner(owner) {
    MakeBlack(this);
    resize(320, 240);

    VideoWindow = new QWidget(this);
    VideoWindow->setObjectName(QStringLiteral("VideoWindow"));
    // A window of its own for the library to draw into; the windows around it stay Qt's.
    VideoWindow->setAttribute(Qt::WA_DontCreateNativeAncestors);
    VideoWindow->setAttribute(Qt::WA_NativeWindow);
    MakeBlack(VideoWindow);
    VideoWindow->installEventFilter(this);

    MouseOverlay = new TVlcMouseOverlay(VideoWindow);
    MouseOverlay->setObjectName(QStringLiteral("MouseOverlay"));
    ConnectOverlay();

    SiteLinkTimer = new QTimer(this);
    SiteLinkTimer->setInterval(WaitStepMs);
    connect(SiteLinkTimer, &QTimer::timeout, this, [this] { SiteLinkTimerTimer(); });
    VolumeTimer = new QTimer(this);
    VolumeTimer->setInterval(VolumeCheckMs);
    connect(VolumeTimer, &QTimer::timeout, this, [this] { VolumeTimerTimer(); });

    PlaceChildren();
}

TVlcPlayer::~TVlcPlayer() {
    SiteLinkTimer->stop();
    {
        std::lock_guard<std::mutex> guard(EventLock);
        // Detaching waits for a callback that is running; none starts afterwards.
        DetachEvents();
        SleepStep();
        if (PlayerHandle != nullptr) {
            LibVlc.libvlc_media_player_stop(PlayerHandle);
            WaitWhilePlaying();
        }
        EventManager = nullptr;
        if (PlayerHandle != nullptr)
            LibVlc.libvlc_media_player_release(PlayerHandle);
        PlayerHandle = nullptr;
    }
    ReleaseHeldPayloads();
    Library.reset();
    // The children, the video window among them, go after the media player that drew into it.
}

void TVlcPlayer::ConnectOverlay() {
    MouseOverlay->OnClick = [this] {
        if (OnClick)
            OnClick(this);
    };
    MouseOverlay->OnDblClick = [this] {
        if (OnDblClick)
            OnDblClick(this);
    };
    MouseOverlay->OnMouseDown = [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                                       int y) {
        if (OnMouseDown)
            OnMouseDown(this, button, shift, x, y);
    };
    MouseOverlay->OnMouseMove = [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x,
                                       int y) {
        if (OnMouseMove)
            OnMouseMove(this, buttons, shift, x, y);
    };
    MouseOverlay->OnMouseUp = [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                                     int y) {
        if (OnMouseUp)
            OnMouseUp(this, button, shift, x, y);
    };
}

void TVlcPlayer::ApplyBounds(int left, int top, int width, int height) {
    setGeometry(left, top, width, height);
    PlaceChildren();
}

void TVlcPlayer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceChildren();
}

void TVlcPlayer::PlaceChildren() {
    VideoWindow->setGeometry(0, 0, width(), height());
    if (FMouseEventsHandler == mehComponent)
        MouseOverlay->setGeometry(0, 0, width(), height());
    else
        MouseOverlay->setGeometry(-1, -1, 1, 1);
}

void TVlcPlayer::SetMouseEventsHandler(TVlcMouseEventsHandler value) {
    FMouseEventsHandler = value;
    PlaceChildren();
}

// In the mode mehLibrary the picture's mouse input belongs to the library: nothing of it
// reaches the control's events, its menu or the windows behind it. (On X11 only one client
// may take the button presses of a window, and Qt holds them, so the library itself sees
// only the moves.) The wheel is left alone, for the owner.
bool TVlcPlayer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == VideoWindow && FMouseEventsHandler == mehLibrary) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::ContextMenu:
            event->accept();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TVlcPlayer::contextMenuEvent(QContextMenuEvent* event) {
    if (PopupMenu.isNull()) {
        event->ignore();
        return;
    }
    PopupMenu->popup(event->globalPos());
    event->accept();
}

TVlcLibrary* TVlcPlayer::GetLibrary() {
    if (Library == nullptr) {
        Library = std::make_unique<TVlcLibrary>();
        for (const std::string& option : FStartOptions)
            Library->AddOption(option);
        for (const char* option : {"--ignore-config", "--no-one-instance", "--intf=dummy",
                                   "--quiet", "--drop-late-frames"})
            Library->AddOption(option);
        Library->TitleShow = FTitleShow;
        Library->AddOption(FSpuShow ? "--spu" : "--no-spu");
        Library->AddOption(FOsdShow ? "--osd" : "--no-osd");
        Library->AddOption(FVideoOnTop ? "--video-on-top" : "--no-video-on-top");
        Library->AddOption(FUseOverlay ? "--overlay" : "--no-overlay");
        Library->AddOption(FSnapshotPrv ? "--snapshot-preview" : "--no-snapshot-preview");
        if (FVideoOutput != voDefault)
            Library->AddOption(std::string("--vout=") + VideoOutputNames[FVideoOutput]);
        if (FAudioOutput != aoDefault)
            Library->AddOption(std::string("--aout=") + AudioOutputNames[FAudioOutput]);
    }
    return Library.get();
}

libvlc_media_player_t* TVlcPlayer::GetPlayer() {
    if (PlayerHandle == nullptr) {
        libvlc_instance_t* instance = GetLibrary()->GetHandle();
        if (instance != nullptr) {
            PlayerHandle = LibVlc.libvlc_media_player_new(instance);
            if (PlayerHandle != nullptr) {
                LibVlc.libvlc_video_set_mouse_input(PlayerHandle, 1);
                LibVlc.libvlc_video_set_key_input(PlayerHandle, 1);
            }
        }
    }
    ApplyTitleDisplay();
    if (FUseEvents)
        AttachEvents();
    return PlayerHandle;
}

bool TVlcPlayer::IsSiteLink(const QString& mrl) {
    const QByteArray text = LoweredTrimmed(mrl);
    const qsizetype schemeEnd = text.indexOf("://");
    if (schemeEnd < 0)
        return false;
    const QByteArray scheme = text.left(schemeEnd);
    if (scheme != "http" && scheme != "https")
        return false;
    const QByteArray rest = text.mid(schemeEnd + 3);
    const qsizetype hostEnd = rest.indexOf('/');
    const QByteArray host = hostEnd < 0 ? rest : rest.left(hostEnd);
    return host == SiteHost || host == SiteWebHost;
}

void TVlcPlayer::Play(const QString& mrl) {
    if (IsSiteLink(mrl))
        PlaySiteLink(mrl, SiteLinkTimeoutMs);
    else
        PlayDirect(mrl);
}

void TVlcPlayer::PlayDirect(const QString& mrl) {
    // A new item ends the wait for the sub-item of an earlier site link.
    SiteLinkTimer->stop();
    if (parentWidget() == nullptr && !Owner.isNull())
        setParent(Owner);
    if (parentWidget() == nullptr)
        return;
    if (GetPlayer() == nullptr)
        return;
    LibVlc.libvlc_media_player_stop(PlayerHandle);
    WaitWhilePlaying();
    {
        TVlcMedia media(GetLibrary(), mrl);
        media.SetDeinterlaceFilter(FDeinterlaceFilter);
        media.SetDeinterlaceMode(FDeinterlaceMode);
        // The media player takes a reference of its own; this one goes with media.
        LibVlc.libvlc_media_player_set_media(PlayerHandle, media.GetHandle());
    }
    BindVideoWindow();
    ApplyTitleDisplay();
    LibVlc.libvlc_media_player_play(PlayerHandle);
    PlayStarted.start();
    VolumeTimer->start();
}

void TVlcPlayer::PlaySiteLink(const QString& mrl, unsigned timeoutMs) {
    PlayDirect(mrl);
    if (PlayerHandle == nullptr || timeoutMs == 0)
        return;
    // Waiting for the library to read the page would block the window on the network, so
    // the state is looked at on a timer instead, every 10 ms as long as the time lasts.
    SiteLinkRemainingMs = timeoutMs;
    SiteLinkTimer->start();
}

void TVlcPlayer::SiteLinkTimerTimer() {
    SiteLinkRemainingMs = SiteLinkRemainingMs > WaitStepMs ? SiteLinkRemainingMs - WaitStepMs : 0;
    if (GetState() == libvlc_Ended) {
        SiteLinkTimer->stop();
        PlayFirstSubItem();
        return;
    }
    if (SiteLinkRemainingMs == 0)
        SiteLinkTimer->stop();
}

void TVlcPlayer::PlayFirstSubItem() {
    std::string link;
    if (PlayerHandle != nullptr) {
        libvlc_media_t* item = LibVlc.libvlc_media_player_get_media(PlayerHandle);
        if (item != nullptr) {
            libvlc_media_list_t* list = LibVlc.libvlc_media_subitems(item);
            if (list != nullptr) {
                LibVlc.libvlc_media_list_lock(list);
                if (LibVlc.libvlc_media_list_count(list) > 0) {
                    libvlc_media_t* sub = LibVlc.libvlc_media_list_item_at_index(list, 0);
                    if (sub != nullptr) {
                        char* mrl = LibVlc.libvlc_media_get_mrl(sub);
                        link = mrl != nullptr ? mrl : "";
                        LibVlcFree(mrl);
                        LibVlc.libvlc_media_release(sub);
                    }
                }
                LibVlc.libvlc_media_list_unlock(list);
                LibVlc.libvlc_media_list_release(list);
            }
            LibVlc.libvlc_media_release(item);
        }
    }
    if (!link.empty())
        Play(QString::fromUtf8(link));
}

void TVlcPlayer::Stop() {
    SiteLinkTimer->stop();
    VolumeTimer->stop();
    if (PlayerHandle == nullptr)
        return;
    LibVlc.libvlc_media_player_stop(PlayerHandle);
    WaitWhilePlaying();
}

void TVlcPlayer::WaitWhilePlaying() {
    for (int waitedMs = 0;
         waitedMs < StopWaitLimitMs && LibVlc.libvlc_media_player_is_playing(PlayerHandle) != 0;
         waitedMs += WaitStepMs)
        SleepStep();
}

int TVlcPlayer::GetState() {
    if (PlayerHandle == nullptr)
        return 0;
    const int state = LibVlc.libvlc_media_player_get_state(PlayerHandle);
    return state >= 1 && state <= 7 ? state : 0;
}

bool TVlcPlayer::IsPlaying() {
    return GetState() == libvlc_Playing;
}

void TVlcPlayer::SetAudioVolume(int volume) {
    if (PlayerHandle == nullptr || volume < 0 || volume > 200)
        return;
    RequestedVolume = volume;
    LibVlc.libvlc_audio_set_volume(PlayerHandle, volume);
}

void TVlcPlayer::VolumeTimerTimer() {
    // While a stream starts, the library's audio output reports its own start volume and
    // drops what was set before; the volume asked for is set again until the output runs.
    if (!PlayStarted.isValid() || PlayStarted.elapsed() > VolumeSettleMs ||
        PlayerHandle == nullptr) {
        VolumeTimer->stop();
        return;
    }
    if (RequestedVolume < 0)
        return;
    const int current = LibVlc.libvlc_audio_get_volume(PlayerHandle);
    if (current >= 0 && current != RequestedVolume)
        LibVlc.libvlc_audio_set_volume(PlayerHandle, RequestedVolume);
}

void TVlcPlayer::SetAudioTrack(int index) {
    if (PlayerHandle == nullptr || index < 0)
        return;
    libvlc_track_description_t* list = LibVlc.libvlc_audio_get_track_description(PlayerHandle);
    libvlc_track_description_t* description = list;
    for (int step = 0; step < index && description != nullptr; ++step)
        description = description->p_next;
    if (description != nullptr)
        LibVlc.libvlc_audio_set_track(PlayerHandle, description->i_id);
    LibVlcReleaseTrackList(list);
}

void TVlcPlayer::ApplyTitleDisplay() {
    // Older libraries take the title display as a start option instead.
    if (PlayerHandle == nullptr || GetLibrary()->GetVersion() < 0x20100)
        return;
    const libvlc_position_t position =
        FTitleShow ? LibraryPosition(FTitleShowPos) : libvlc_position_disable;
    LibVlc.libvlc_media_player_set_video_title_display(PlayerHandle, position, FTitleShowTimeOut);
}

void TVlcPlayer::ApplyDeinterlace() {
    if (PlayerHandle == nullptr)
        return;
    LibVlc.libvlc_video_set_deinterlace(PlayerHandle, FDeinterlaceFilter == deON
                                                          ? DeinterlaceModeNames[FDeinterlaceMode]
                                                          : nullptr);
}

void TVlcPlayer::BindVideoWindow() {
    if (PlayerHandle == nullptr)
        return;
    // Only an X11 window id means anything to the library; on another platform it would
    // take the id for a window and fail.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    LibVlc.libvlc_media_player_set_xwindow(PlayerHandle,
                                           static_cast<std::uint32_t>(VideoWindow->winId()));
}

void TVlcPlayer::ShowTeletext() {
    if (!FViewTeletext && PlayerHandle != nullptr &&
        LibVlc.libvlc_media_player_is_playing(PlayerHandle) != 0) {
        LibVlc.libvlc_toggle_teletext(PlayerHandle);
        FViewTeletext = true;
    }
}

void TVlcPlayer::HideTeletext() {
    if (FViewTeletext && PlayerHandle != nullptr &&
        LibVlc.libvlc_media_player_is_playing(PlayerHandle) != 0) {
        LibVlc.libvlc_toggle_teletext(PlayerHandle);
        FViewTeletext = false;
    }
}

void TVlcPlayer::SetViewTeletext(bool value) {
    if (value == FViewTeletext)
        return;
    if (value)
        ShowTeletext();
    else
        HideTeletext();
}

void TVlcPlayer::SetTitleShow(bool value) {
    if (value == FTitleShow)
        return;
    FTitleShow = value;
    ApplyTitleDisplay();
}

void TVlcPlayer::SetTitleShowPos(TVlcTitlePosition value) {
    if (value == FTitleShowPos)
        return;
    FTitleShowPos = value;
    ApplyTitleDisplay();
}

void TVlcPlayer::SetTitleShowTimeOut(std::uint32_t value) {
    if (value == FTitleShowTimeOut)
        return;
    FTitleShowTimeOut = value;
    ApplyTitleDisplay();
}

void TVlcPlayer::SetDeinterlaceFilter(TDeinterlaceFilter value) {
    if (value == FDeinterlaceFilter)
        return;
    FDeinterlaceFilter = value;
    ApplyDeinterlace();
}

void TVlcPlayer::SetDeinterlaceMode(TDeinterlaceMode value) {
    if (value == FDeinterlaceMode)
        return;
    FDeinterlaceMode = value;
    ApplyDeinterlace();
}

QString TVlcPlayer::DeinterlaceModeName() const {
    return QString::fromLatin1(DeinterlaceModeNames[FDeinterlaceMode]);
}

void TVlcPlayer::SetSnapShotFmt(const std::string& value) {
    FSnapShotFmt = "png";
    const QString lowered = QString::fromStdString(value).toLower();
    if (lowered == QLatin1String("png") || lowered == QLatin1String("jpg"))
        FSnapShotFmt = lowered.toStdString();
}
