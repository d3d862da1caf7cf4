// The broadcast: status polling, following it, stopping and changing it, and the exit.

#include "app/TMainForm.h"

#include "app/ApplicationTitle.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"
#include "service/ReplyOps.h"
#include "service/TRequestWorker.h"
#include "settings/Settings.h"
#include "widgets/ExecFile.h"
#include "widgets/TTrayIconComponent.h"

#include <QLabel>
#include <QTimer>

namespace {

// Whether the broadcast is what the player shows, whether or not its stream still runs:
// the service ends the stream of a broadcast that ends or changes, often before the next
// status reply tells, and the player then has ended by itself. Only a stop (by the user,
// or on the way to the next broadcast) or a source stream means the broadcast is not
// watched.
bool WatchesTheBroadcast(TMainForm& form) {
    TVlcPlayer* player = form.VlcPlayer;
    return !form.PlayingSource && player != nullptr && !player->isHidden() &&
           player->GetState() != libvlc_NothingSpecial && player->GetState() != libvlc_Stopped;
}

} // namespace

void TMainForm::BroadcastCreationStep() {
    StatusIdle = true;
    StopBroadcastOnExit = IsAdmin ? ReadCloseOnExit() : false;
}

void TMainForm::RequestStatus(bool select, bool play) {
    // At most one status request is outstanding; asks meanwhile are dropped, not queued.
    // Once the exit has begun, nothing new is asked for: the exit waits for what is out.
    if (!StatusIdle || ExitInProgress)
        return;
    StatusSelect = select;
    StatusPlay = play;
    StatusIdle = false;
    SendRequest("cmd=bdcstatus", WM_REQ_STATUS);
}

void TMainForm::StatusTimerTimer() {
    RequestStatus(false, false);
}

void TMainForm::UpdateChannelStatus1Click() {
    RequestStatus(true, false);
}

void TMainForm::BroadcastStateLblClick() {
    RequestStatus(true, true);
}

void TMainForm::WMReqStatus() {
    CheckRequestFailed();
    const QString error = ErrorFromReply(Requests->LastReply);
    if (!error.isEmpty()) {
        StatusTimer->stop();
        ShowMessageBox(this, ApplicationTitle(),
                       QStringLiteral("Could not get status. Please contact service "
                                      "administrator.\rError: ") +
                           error,
                       TMessageIcon::Stop);
        EndProcessNow(1);
    }
    const bool select = StatusSelect;
    const bool play = StatusPlay;
    StatusIdle = true;

    const bool watchingBroadcast = WatchesTheBroadcast(*this);
    QByteArray cid, lang, url;
    if (ParseStatusReply(Requests->LastReply, cid, lang, url)) {
        const int index = IndexOfChannel(cid);
        if (index >= 0) {
            BroadcastCid = cid;
            BroadcastLang = lang;
            if (IsAdmin && select) {
                SelectChannelRow(index);
                FillLanguages();
            }
            ShowCurrentChannel(index, lang);
            if (url != BroadcastUrl) {
                BroadcastUrl = url;
                // An ordinary user who watches the broadcast follows it to its new stream.
                if (!IsAdmin && watchingBroadcast) {
                    VlcPlayer->Stop();
                    RequestStatus(true, true);
                }
            }
        }
        BroadcastUrl = url;
    } else {
        if (!IsAdmin && watchingBroadcast)
            StopPlayerBtnClick();
        ShowCurrentChannel(-1, QByteArray());
        BroadcastUrl.clear();
        BroadcastCid.clear();
        BroadcastLang.clear();
    }

    // Nothing starts playing in the tray or once the exit has begun (a reply to a click
    // just before): the window was closed, and its playback with it.
    if (play && !BroadcastUrl.isEmpty() && !ExitInProgress && !TrayIcon->IconVisible()) {
        SetLastCid(BroadcastCid);
        PlayingSource = false;
        PlayStream(BroadcastStateLbl->text(), BroadcastUrl, false, -1);
    }
}

void TMainForm::StopBtnClick() {
    if (!IsAdmin || BroadcastUrl.isEmpty())
        return;
    if (WatchesTheBroadcast(*this))
        StopPlayerBtnClick();
    SendRequest("cmd=stopbdc", WM_REQ_STOP);
}

void TMainForm::WMReqStop() {
    const QString error =
        Requests->RequestFailed ? Requests->RequestError : ErrorFromReply(Requests->LastReply);
    if (error.isEmpty()) {
        BroadcastUrl.clear();
        BroadcastCid.clear();
        BroadcastLang.clear();
        ShowCurrentChannel(-1, QByteArray());
        return;
    }
    ShowMessageBox(this, ApplicationTitle(),
                   QStringLiteral("Could not stop currently active H.264 channel. Please visit "
                                  "the Kavrien service site and stop the channel manually.\r"
                                  "Error: ") +
                       error,
                   TMessageIcon::Warning);
}

void TMainForm::ChangeCurrentChannel1Click() {
    if (!IsAdmin)
        return;
    // A source stream goes on playing; only the broadcast that plays is stopped.
    if (WatchesTheBroadcast(*this))
        StopPlayerBtnClick();
    ChangeBroadcastOnly = true;
    ChannelListDblClick();
}

bool TMainForm::FormClose() {
    // Qt drops a close asked for while this one waits; this drops one after the exit was
    // accepted.
    if (ExitInProgress)
        return false;
    StopPlayerBtnClick();
    if (!Exiting) {
        CloseToTray();
        return false;
    }
    ExitInProgress = true;
    // From here the program ends: no more status polls, no way back from the tray (whose
    // icon goes now, not only once the process is gone), and no commands from the window
    // while the last request is awaited. The message box of a reply handler still takes
    // input: it is a window of its own, made after this.
    StatusTimer->stop();
    TrayIcon->SetIconVisible(false);
    setEnabled(false);
    if (!BroadcastUrl.isEmpty() && StopBroadcastOnExit && IsAdmin && !LoggingOut)
        StopBtnClick();
    Requests->WaitForRequestsInFlight(ExitRequestWaitMs);
    if (LoggingOut)
        RelaunchSelf();
    return true;
}
