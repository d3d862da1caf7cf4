// The channel list and the audio-language box.

#include "app/TMainForm.h"

#include "app/ApplicationTitle.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "player/TVlcPlayer.h"
#include "service/LanguageList.h"
#include "service/ReplyOps.h"
#include "service/TRequestWorker.h"
#include "settings/Settings.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTimer>

namespace {

bool SameText(const QByteArray& a, const QByteArray& b) {
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

} // namespace

void TMainForm::ChannelListCreationStep() {
    PreferredLanguage = ReadDefLang();
    LastCid = ReadLastCid().toUtf8();
    FirstActivation = true;
    LastClickedIndex = -1;
}

void TMainForm::FormActivate() {
    if (!FirstActivation)
        return;
    CreateVolumeBar();
    SendRequest("cmd=listnew", WM_REQ_LIST);
    FirstActivation = false;
}

void TMainForm::WMReqList() {
    CheckRequestFailed();
    const QString error = ErrorFromReply(Requests->LastReply);
    if (!error.isEmpty()) {
        ShowMessageBox(this, ApplicationTitle(),
                       QStringLiteral("Error loading channel list. Please contact service "
                                      "administrator.\rError: ") +
                           error,
                       TMessageIcon::Stop);
        EndProcessNow(1);
    }
    TChannelLists lists = ParseChannelList(Requests->LastReply);
    ChannelIds = std::move(lists.ChannelIds);
    ChannelNames = std::move(lists.ChannelNames);
    ChannelLanguages = std::move(lists.ChannelLanguages);
    for (const QByteArray& name : ChannelNames) {
        auto* row = new QListWidgetItem(QString::fromUtf8(name), ChannelList);
        row->setSizeHint(QSize(0, 16));
    }
    StatusTimer->start();
    if (VlcPlayer != nullptr)
        VlcPlayer->hide();

    // The broadcast known from the start-up status, once its channel can be named.
    if (!BroadcastCid.isEmpty()) {
        const int index = IndexOfChannel(BroadcastCid);
        if (index >= 0)
            ShowCurrentChannel(index, BroadcastLang);
    }
    RestoreLastChannel();
}

void TMainForm::ChannelListClick() {
    // While something plays, the box keeps the languages of what plays.
    if (VlcPlayer != nullptr && VlcPlayer->IsPlaying())
        return;
    const int row = ChannelList->currentRow();
    if (row == LastClickedIndex)
        return;
    LastClickedIndex = row;
    FillLanguages();
}

void TMainForm::FillLanguages() {
    const int row = ChannelList->currentRow();
    if (row < 0)
        return;
    const QByteArray languages = LanguagesOf(row);
    if (languages.isEmpty())
        return;
    const QSignalBlocker blocker(LangCombo);
    LangCombo->clear();
    for (const QByteArray& language : SplitLanguageList(languages))
        LangCombo->addItem(QString::fromUtf8(language), language);
    SelectPreferredLanguage();
}

void TMainForm::SelectPreferredLanguage() {
    const QSignalBlocker blocker(LangCombo);
    for (int i = 0; i < LangCombo->count(); ++i) {
        if (LangCombo->itemText(i).compare(PreferredLanguage, Qt::CaseInsensitive) == 0) {
            LangCombo->setCurrentIndex(i);
            return;
        }
    }
    if (LangCombo->count() > 0)
        LangCombo->setCurrentIndex(0);
}

bool TMainForm::HasSeveralLanguages(int index) const {
    return SplitLanguageList(LanguagesOf(index)).size() >= 2;
}

void TMainForm::SetLastCid(const QByteArray& cid) {
    LastCid = cid;
    if (!Exiting)
        WriteLastCid(QString::fromUtf8(cid));
}

int TMainForm::IndexOfChannel(const QByteArray& cid) const {
    for (int i = 0; i < ChannelIds.size(); ++i) {
        if (SameText(ChannelIds[i], cid))
            return i;
    }
    return -1;
}

QByteArray TMainForm::LanguagesOf(int index) const {
    return index >= 0 && index < ChannelLanguages.size() ? ChannelLanguages[index] : QByteArray();
}
