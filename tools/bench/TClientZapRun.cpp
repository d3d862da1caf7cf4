#include "tools/bench/TClientZapRun.h"

#include "app/ApplicationTitle.h"
#include "app/TMainForm.h"
#include "dialogs/TLoginDlg.h"
#include "platform/MessageBox.h"
#include "platform/TWindowMessage.h"
#include "player/TVlcLibrary.h"
#include "player/TVlcPlayer.h"
#include "player/VlcEnums.h"
#include "service/TRequestWorker.h"
#include "tools/bench/BenchWait.h"
#include "tools/bench/TBenchLogin.h"
#include "tools/bench/TLibraryEventTimes.h"
#include "widgets/TUnfocusedTrackBar.h"

#include <QChildEvent>
#include <QListWidget>
#include <QScreen>

#include <cstdio>

namespace {

constexpr int ChannelListTimeoutMs = 20000;
constexpr int StopTimeoutMs = 10000;

double MsBetween(TFrameWatcher::TClock::time_point from, TFrameWatcher::TClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

QRect ScreenRect(const QWidget* widget) {
    const qreal ratio = widget->devicePixelRatioF();
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return QRect(QPoint(qRound(origin.x() * ratio), qRound(origin.y() * ratio)),
                 QSize(qRound(widget->width() * ratio), qRound(widget->height() * ratio)));
}

} // namespace

TClientZapRun::TClientZapRun(TFrameWatcher& watcher) : watcher(watcher) {
    // A modal box would stop the run under a server nobody looks at.
    SetMessageBoxHandler([this](const TMessageBoxCall& call) {
        messages.append(call.Title + QStringLiteral(": ") +
                        QString(call.Text).replace(QLatin1Char('\r'), QLatin1Char(' ')));
        // At once: the client may end the process right after its message.
        std::fprintf(stderr, "kavrien-zap-bench: the client showed \"%s\"\n",
                     messages.last().toLocal8Bit().constData());
    });
}

TClientZapRun::~TClientZapRun() {
    Close();
    SetMessageBoxHandler({});
}

void TClientZapRun::Close() {
    measuring = false;
    form.reset();
    login.reset();
    dialog.reset();
}

bool TClientZapRun::SignIn(const QByteArray& apiUrl, const QString& caFile, const QString& userName,
                           const QString& password) {
    qputenv("KAVRIEN_API_URL", apiUrl);
    qputenv("KAVRIEN_CA_FILE", caFile.toLocal8Bit());
    SetApplicationTitle(TMainForm::DesignCaption);
    dialog = std::make_unique<TLoginDlg>();
    login = std::make_unique<TBenchLogin>(dialog.get(), userName, password);
    // Signs in inside its construction; a failed sign-in ends the process.
    form = std::make_unique<TMainForm>(dialog.get());
    if (QScreen* screen = form->screen())
        form->move(screen->availableGeometry().center() - form->rect().center());
    form->show();
    form->activateWindow();
    if (!RunEventsUntil([this] { return form->ChannelList->count() > 0; }, ChannelListTimeoutMs)) {
        error = QStringLiteral("the channel list did not arrive");
        return false;
    }
    if (!form->Requests->WaitForRequestsInFlight(ChannelListTimeoutMs)) {
        error = QStringLiteral("a request of the start did not end");
        return false;
    }
    form->installEventFilter(this);
    form->ClientArea->installEventFilter(this);
    return true;
}

const QList<QByteArray>& TClientZapRun::ChannelIds() const {
    return form->ChannelIds;
}

QRect TClientZapRun::VideoRegion() const {
    return ScreenRect(form->BlackBox);
}

bool TClientZapRun::eventFilter(QObject* watched, QEvent* event) {
    if (!measuring)
        return QObject::eventFilter(watched, event);
    const auto now = TFrameWatcher::TClock::now();
    if (watched == form.get()) {
        // Sent by the request worker; the window's handler runs right after this filter.
        if (TWindowMessage* message = TWindowMessage::From(event);
            message != nullptr && message->Msg() == WM_REQ_START && !haveReply) {
            replyAt = now;
            haveReply = true;
            reply = form->Requests->LastReply;
        }
    } else if (watched == form->ClientArea) {
        const QObject* child = event->type() == QEvent::ChildAdded ||
                                       event->type() == QEvent::ChildPolished ||
                                       event->type() == QEvent::ChildRemoved
                                   ? static_cast<QChildEvent*>(event)->child()
                                   : nullptr;
        // The new control is announced while it is being built (it may get the freed
        // control's address), and polished before it plays: the hook goes in then.
        if (event->type() == QEvent::ChildRemoved && child == oldPlayer && oldPlayer != nullptr) {
            oldPlayer = nullptr;
            freedAt = now;
            haveFreed = true;
        } else if (event->type() == QEvent::ChildAdded && haveReply && newChild == nullptr &&
                   child != oldPlayer) {
            newChild = const_cast<QObject*>(child);
            createdAt = now;
            haveCreated = true;
        } else if (event->type() == QEvent::ChildPolished && child == newChild && hooked.isNull()) {
            if (auto* player = dynamic_cast<TVlcPlayer*>(newChild))
                Hook(player);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TClientZapRun::Hook(TVlcPlayer* player) {
    hooked = player;
    std::shared_ptr<TLibraryEventTimes> times = events;
    // Library threads: only notes times.
    player->SetOnMediaPlayerEvent(
        [times](const libvlc_event_t* event, void*) { times->Note(event); });
}

TZapTimes TClientZapRun::Switch(int row, int picture, int timeoutMs) {
    TZapTimes times;
    times.Cid = form->ChannelIds.value(row);
    // The old control keeps its hook until it is freed: it notes when its stream stops.
    previousEvents = !hooked.isNull() && hooked == form->VlcPlayer ? events : nullptr;
    events = std::make_shared<TLibraryEventTimes>();
    oldPlayer = form->VlcPlayer;
    newChild = nullptr;
    hooked = nullptr;
    hookedLate = false;
    haveReply = false;
    haveCreated = false;
    haveFreed = false;
    messages.clear();
    // The player control takes the whole video area.
    watcher.SetRegion(VideoRegion());

    form->ChannelList->setCurrentRow(row);
    watcher.Arm(picture);
    measuring = true;
    start = TFrameWatcher::TClock::now();
    form->ChannelListDblClick();
    TFrameWatcher::TClock::time_point seenAt;
    TFrameWatcher::TClock::time_point notBefore;
    const bool seen = RunEventsUntil(
        [&] {
            // A control that was never polished (it is, at the latest when it is shown) is
            // hooked late: its first events may be missed.
            if (hooked.isNull() && haveCreated && form->VlcPlayer == newChild) {
                hookedLate = true;
                Hook(form->VlcPlayer);
            }
            return watcher.Seen(&seenAt, &notBefore) || !messages.isEmpty();
        },
        timeoutMs);
    measuring = false;
    watcher.Disarm();

    if (haveReply)
        times.ReplyMs = MsBetween(start, replyAt);
    if (haveCreated)
        times.PlayerMs = MsBetween(start, createdAt);
    if (haveFreed)
        times.FreedMs = MsBetween(start, freedAt);
    if (previousEvents != nullptr)
        times.StoppedMs = previousEvents->StoppedMs(start);
    times.MediaMs = events->MediaSetMs(start);
    times.VoutMs = events->VoutMs(start);
    if (seen && messages.isEmpty()) {
        times.FrameMs = MsBetween(start, seenAt);
        times.FrameNotBeforeMs = MsBetween(start, notBefore);
    }
    if (!messages.isEmpty())
        times.Error = QStringLiteral("message: ") + messages.join(QStringLiteral("; "));
    else if (!seen)
        times.Error = QStringLiteral("no picture within %1 ms").arg(timeoutMs);
    else if (hooked.isNull() || form->VlcPlayer != hooked)
        times.Error = QStringLiteral("the player control changed while measuring");
    else if (hookedLate)
        times.Remark = QStringLiteral("player hooked late: library steps may be missing");

    played = TPlayed();
    played.Url = reply;
    if (!hooked.isNull()) {
        played.Arguments = hooked->GetLibrary()->BuildArguments();
        // What the control gives every item it plays.
        played.MediaOptions = {
            hooked->DeinterlaceFilter() == deON ? "deinterlace=1" : "deinterlace=0",
            std::string("deinterlace-mode=") + DeinterlaceModeNames[hooked->DeinterlaceMode()]};
        played.TitleShow = hooked->TitleShow();
    }
    played.Volume = form->VolumeBar != nullptr ? form->VolumeBar->value() : 100;
    return times;
}

void TClientZapRun::StopPlayback() {
    form->StopPlayerBtnClick();
    RunEventsUntil([this] { return form->VlcPlayer == nullptr || !form->VlcPlayer->IsPlaying(); },
                   StopTimeoutMs);
}
