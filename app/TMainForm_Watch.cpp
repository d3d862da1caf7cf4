// Watching a channel: which stream to ask for, the start reply, and the player.

#include "app/TMainForm.h"

#include "app/ApplicationTitle.h"
#include "platform/MessageBox.h"
#include "platform/TWindowMessage.h"
#include "player/TVlcLibrary.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"
#include "service/ReplyOps.h"
#include "service/TRequestWorker.h"
#include "settings/Settings.h"
#include "widgets/TTrayIconComponent.h"
#include "widgets/TUnfocusedTrackBar.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>

void TMainForm::WatchCreationStep() {
    PlayingSource = false;
    ChangeBroadcastOnly = false;
    LibraryFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/libkavrien");
    InitFullScreen = ReadInitFullScreen();
    AspectRatio = ReadAspectRatio();
    UseOriginalStream = IsAdmin ? ReadUseMpeg2() : true;
}

void TMainForm::SetCaption(const QString& caption) {
    SetApplicationTitle(caption);
    setWindowTitle(caption);
}

void TMainForm::SelectChannelRow(int row) {
    // A selection made by the program is no click: the click handler must not run.
    const QSignalBlocker blocker(ChannelList);
    ChannelList->setCurrentRow(row);
}

void TMainForm::ChannelListDblClick() {
    ChannelListClick();
    const int row = ChannelList->currentRow();
    if (row < 0 || row >= ChannelIds.size()) {
        ChangeBroadcastOnly = false;
        return;
    }
    const QByteArray cid = ChannelIds[row];
    FillLanguages();
    const int langIndex = LangCombo->currentIndex();
    const QByteArray lang =
        langIndex >= 0 ? LangCombo->itemData(langIndex).toByteArray() : QByteArray();
    if (lang.isEmpty()) {
        // A change of the broadcast that asked for nothing is over: the mark must not turn
        // the user's next watch action into one.
        ChangeBroadcastOnly = false;
        return;
    }
    PendingLang = lang;
    PendingLangIndex = langIndex;
    PendingCid = cid;
    PendingIndex = row;
    PendingBroadcast = !UseOriginalStream || ChangeBroadcastOnly;

    if (!PendingBroadcast) {
        SendRequest("cmd=link&cid=" + cid + "&us=0", WM_REQ_START);
        return;
    }
    if (!BroadcastCid.isEmpty() && cid == BroadcastCid && lang == BroadcastLang) {
        // Already broadcast: the known URL is the reply, handled before this returns.
        DeliverStartReply(BroadcastUrl);
        return;
    }
    SendRequest("cmd=startbdc&cid=" + cid + "&lang=" + lang, WM_REQ_START);
}

void TMainForm::DeliverStartReply(const QByteArray& reply) {
    Requests->RequestFailed = false;
    Requests->RequestError.clear();
    Requests->LastReply = reply;
    TWindowMessage::Send(this, WM_REQ_START, 0, 0);
}

void TMainForm::WatchBtnClick() {
    if (!ChannelListShown() && ChannelList->currentRow() < 0) {
        SetChannelListVisible(true);
        return;
    }
    ChannelListDblClick();
}

void TMainForm::WMReqStart() {
    CheckRequestFailed();
    const QByteArray reply = Requests->LastReply;
    const QString error = ErrorFromReply(reply);
    if (!error.isEmpty()) {
        ShowMessageBox(this, ApplicationTitle(),
                       QStringLiteral("Server returned error while trying to initialize "
                                      "channel.\rError: ") +
                           error,
                       TMessageIcon::Stop);
        // A failed change of the broadcast leaves no mark for the next watch action.
        ChangeBroadcastOnly = false;
        return;
    }
    if (!reply.contains("http")) {
        ShowMessageBox(this, ApplicationTitle(),
                       QStringLiteral("Could not retrieve stream URL. Please try again."),
                       TMessageIcon::Stop);
        ChangeBroadcastOnly = false;
        return;
    }
    const QByteArray cid = PendingCid;
    const int index = PendingIndex;
    const QByteArray lang = PendingLang;
    const int langIndex = PendingLangIndex;
    // A reply that arrives once the window went to the tray, or once the exit began, plays
    // nothing: the close stopped the playback, and the user did not ask again.
    const bool mayPlay = !ExitInProgress && !TrayIcon->IconVisible();

    // Judged by what was asked for: a language change of the broadcast asks for it with
    // UseOriginalStream switched off only until the request is out.
    if (PendingBroadcast || ChangeBroadcastOnly) {
        BroadcastUrl = reply;
        ShowCurrentChannel(index, lang);
        BroadcastCid = cid;
        BroadcastLang = lang;
        // A change of the broadcast alone leaves a source stream that plays a source stream.
        if (!ChangeBroadcastOnly && mayPlay) {
            PlayingSource = false;
            SetLastCid(cid);
            PlayStream(BroadcastStateLbl->text(), BroadcastUrl, false, -1);
        }
    } else if (mayPlay) {
        PlayingSource = true;
        SetLastCid(cid);
        const QString title = index >= 0 && index < ChannelNames.size()
                                  ? QString::fromUtf8(ChannelNames[index])
                                  : QString();
        PlayStream(title, reply, true, langIndex);
    }
    ChangeBroadcastOnly = false;
}

void TMainForm::PlayStream(const QString& title, const QByteArray& url, bool source, int track) {
    if (VlcPlayer != nullptr && VlcPlayer->IsPlaying())
        VlcPlayer->Stop();
    SetCaption(source ? QStringLiteral("%1 - %2").arg(BaseCaption, title)
                      : QStringLiteral("%1 - %2 (broadcast)").arg(BaseCaption, title));
    if (!FullScreen && InitFullScreen)
        VlcPlayerDblClick();
    RecreatePlayer();
    if (source) {
        TVlcLibrary* library = VlcPlayer->GetLibrary();
        library->AddOption("--video-filter=deinterlace");
        library->AddOption("--sout-deinterlace-mode=yadif");
        library->AddOption("--audio-track=" + std::to_string(track));
    }
    if (!AspectRatio.isEmpty()) {
        LibVlcLoad(LibraryFolder.toStdString());
        if (libvlc_media_player_t* player = VlcPlayer->GetPlayer())
            LibVlc.libvlc_video_set_aspect_ratio(player, AspectRatio.toUtf8().constData());
    }
    VlcPlayer->show();
    VlcPlayer->raise();
    // The player takes a volume only once its media player exists.
    VlcPlayer->GetPlayer();
    VlcPlayer->SetAudioVolume(VolumeBar != nullptr ? VolumeBar->value() : ReadLastVol());
    VlcPlayer->Play(QString::fromUtf8(url));
}

void TMainForm::RecreatePlayer() {
    if (VlcPlayer != nullptr) {
        delete VlcPlayer;
        VlcPlayer = nullptr;
    }
    repaint();
    PlayerLogoPanel->repaint();
    // Parented at once: a widget without a parent would be a window of its own.
    VlcPlayer = new TVlcPlayer(ClientArea);
    VlcPlayer->hide();
    VlcPlayer->GetLibrary()->AddOption("--verbose=0");
    VlcPlayer->OnDblClick = [this](TVlcPlayer*) {
        VlcPlayerDblClick();
    };
    VlcPlayer->PopupMenu = PlayerMenu;
    AlignPanels();
}

void TMainForm::StopPlayerBtnClick() {
    // Also a stream that is still opening: IsPlaying is false until it plays, and a stream
    // left opening would play on behind the hidden player.
    if (VlcPlayer != nullptr)
        VlcPlayer->Stop();
    SetCaption(BaseCaption);
    if (VlcPlayer != nullptr)
        VlcPlayer->hide();
    SetLastCid(QByteArray());
}

void TMainForm::PrevBtnClick() {
    if (LastCid.isEmpty())
        return;
    const int index = IndexOfChannel(LastCid);
    if (index < 0)
        return;
    const int row = index == 0 ? int(ChannelIds.size()) - 1 : index - 1;
    if (row >= ChannelList->count())
        return;
    SelectChannelRow(row);
    ChannelListDblClick();
}

void TMainForm::NextBtnClick() {
    if (LastCid.isEmpty())
        return;
    const int index = IndexOfChannel(LastCid);
    if (index < 0)
        return;
    const int row = index == int(ChannelIds.size()) - 1 ? 0 : index + 1;
    if (row >= ChannelList->count())
        return;
    SelectChannelRow(row);
    ChannelListDblClick();
}

void TMainForm::RestoreLastChannel() {
    if (LastCid.isEmpty())
        return;
    const int index = IndexOfChannel(LastCid);
    if (index < 0 || index >= ChannelList->count())
        return;
    SelectChannelRow(index);
    ChannelListDblClick();
}

void TMainForm::LangComboChange() {
    if (VlcPlayer == nullptr || !VlcPlayer->IsPlaying())
        return;
    if (PlayingSource) {
        VlcPlayer->SetAudioTrack(LangCombo->currentIndex() + 1);
        return;
    }
    if (!IsAdmin)
        return;
    // Restart the broadcast in the picked language.
    VlcPlayer->Stop();
    const bool savedUseOriginalStream = UseOriginalStream;
    const QString savedPreferredLanguage = PreferredLanguage;
    UseOriginalStream = false;
    PreferredLanguage = LangCombo->currentText();
    ChannelListDblClick();
    UseOriginalStream = savedUseOriginalStream;
    PreferredLanguage = savedPreferredLanguage;
}
