// The broadcast: status polling, following it, stopping and changing it, and the exit.

#include "app/TMainForm.h"

#include "app/ApplicationTitle.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "player/TVlcPlayer.h"
#include "service/ReplyOps.h"
#include "service/TRequestWorker.h"
#include "settings/Settings.h"
#include "widgets/ExecFile.h"
#include "widgets/TTrayIconComponent.h"

#include <QLabel>
#include <QTimer>

void TMainForm::BroadcastCreationStep() {
    StatusIdle = true;
    StopBroadcastOnExit = IsAdmin ? ReadCloseOnExit() : false;
}

void TMainForm::RequestStatus(bool select, bool play) {
    // At most one status request is outstanding; asks meanwhile are dropped, not queued.
    if (!StatusIdle)
        return;
    StatusSelect = select;
    StatusPlay = play;
    StatusIdle = false;
    SendRequest("cmd=bdcstatus", WM_REQ_STATUS);
}

void TMainForm::StatusTimerTimer() { RequestStatus(false, false); }

void TMainForm::UpdateChannelStatus1Click() { RequestStatus(true, false); }

void TMainForm::BroadcastStateLblClick() { RequestStatus(true, true); }

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

    const bool watchingBroadcast = VlcPlayer != nullptr && VlcPlayer->IsPlaying() && !PlayingSource;
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

    if (play && !BroadcastUrl.isEmpty()) {
        SetLastCid(BroadcastCid);
        PlayingSource = false;
        PlayStream(BroadcastStateLbl->text(), BroadcastUrl, false, -1);
    }
}

void TMainForm::StopBtnClick() {
    if (!IsAdmin || BroadcastUrl.isEmpty())
        return;
    if (!PlayingSource && VlcPlayer != nullptr && VlcPlayer->IsPlaying())
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
    if (!PlayingSource && VlcPlayer != nullptr && VlcPlayer->IsPlaying())
        StopPlayerBtnClick();
    ChangeBroadcastOnly = true;
    ChannelListDblClick();
}

bool TMainForm::FormClose() {
    // A close asked for while an exit is already waiting for its last request changes nothing.
    if (ExitInProgress)
        return false;
    StopPlayerBtnClick();
    if (Exiting) {
        ExitInProgress = true;
        // No new status polls while the program ends.
        StatusTimer->stop();
        if (!BroadcastUrl.isEmpty() && StopBroadcastOnExit && IsAdmin && !LoggingOut)
            StopBtnClick();
        Requests->WaitForRequestsInFlight(ExitRequestWaitMs);
        if (LoggingOut)
            RelaunchSelf();
        return true;
    }
    CloseToTray();
    return false;
}
