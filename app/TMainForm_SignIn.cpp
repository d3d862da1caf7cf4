// Sign-in at creation, and the Exit and Logout commands.

#include "app/TMainForm.h"

#include "app/ApplicationTitle.h"
#include "dialogs/TLoginDlg.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "service/ApiBaseUrl.h"
#include "service/ReplyOps.h"
#include "service/TRequestWorker.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cfenv>

namespace {

const QString kBroadcastHint = QStringLiteral(
    "Shows the channel currently being broadcast. This can only be changed by administrator.\r"
    "Click the channel name to watch.");

} // namespace

void TMainForm::FormCreate() {
    // Floating-point faults inside the media library or the toolkit must not trap.
    fedisableexcept(FE_ALL_EXCEPT);
    StatusTimer->stop();

    const QByteArray apiBaseUrl = ApiBaseUrl();
    if (!IsValidApiBaseUrl(apiBaseUrl)) {
        // Credentials only ever go to a verified https address of the service.
        ShowMessageBox(nullptr, QStringLiteral("Error"),
                       QStringLiteral("The service address \"%1\" is not valid.\rIt must be an "
                                      "https address with the path /admin/api.php that ends "
                                      "with \"?\".")
                           .arg(QString::fromUtf8(apiBaseUrl)),
                       TMessageIcon::Stop);
        EndProcessNow(1);
    }
    Requests = std::make_unique<TRequestWorker>(this, apiBaseUrl);

    if (!LoginDlg->PromptLogin(UserName, UserPassword))
        EndProcessNow(1);
    Requests->SetCredentials(UserName.toUtf8(), UserPassword.toUtf8());
    SendRequest("cmd=test", REQ_SYNC);
    CheckRequestFailed();
    QByteArray reply = Requests->LastReply;

    while (reply != "OK") {
        const QString error = ErrorFromReply(reply);
        if (!error.isEmpty())
            ShowServerError(error, true);
        ShowMessageBox(nullptr, QStringLiteral("Error"),
                       QStringLiteral("Incorrect username or password. Please try again."),
                       TMessageIcon::Stop);
        if (!LoginDlg->PromptLogin(UserName, UserPassword))
            EndProcessNow(1);
        Requests->SetCredentials(UserName.toUtf8(), UserPassword.toUtf8());
        SendRequest("cmd=test", REQ_SYNC);
        CheckRequestFailed();
        reply = Requests->LastReply;
    }

    SendRequest("cmd=getperms", REQ_SYNC);
    CheckRequestFailed();
    reply = Requests->LastReply;
    if (reply == "admin") {
        IsAdmin = true;
    } else {
        const QString error = ErrorFromReply(reply);
        if (!error.isEmpty())
            ShowServerError(error, true);
        IsAdmin = false;
    }

    // A transport failure leaves the reply empty and is reported as "Empty response".
    SendRequest("cmd=bdcstatus", REQ_SYNC);
    const QString statusError = ErrorFromReply(Requests->LastReply);
    if (!statusError.isEmpty())
        ShowServerError(statusError, true);
    if (!ParseStatusReply(Requests->LastReply, BroadcastCid, BroadcastLang, BroadcastUrl)) {
        BroadcastCid.clear();
        BroadcastLang.clear();
        BroadcastUrl.clear();
    }

    if (!IsAdmin) {
        StopChannel1->setVisible(false);
        ChangeCurrentChannel1->setVisible(false);
    }

    ChannelList->setToolTip(QStringLiteral(
        "Channel List. Double click the channel name to watch or use the Watch button."));
    LangCombo->setToolTip(QStringLiteral("Select audio language."));
    StopChanBtn->setToolTip(QStringLiteral("Stop watching the current channel."));
    PlayBtn->setToolTip(QStringLiteral("Watch the selected channel."));
    PrevBtn->setToolTip(QStringLiteral("Switch to previous channel."));
    NextBtn->setToolTip(QStringLiteral("Switch to next channel."));
    BroadcastPanel->setToolTip(kBroadcastHint);
    BroadcastStateLbl->setToolTip(kBroadcastHint);
    StopBtn->setToolTip(QStringLiteral("Stop the active channel."));
    ConnStateLed->setToolTip(
        QStringLiteral("Connection State. Blinks when communicating with server."));

    StatusTimer->setInterval(5000);

    setWindowTitle(QStringLiteral("%1 (%2)").arg(DesignCaption, UserName));
    SetApplicationTitle(windowTitle());
    BaseCaption = windowTitle();

    Exiting = false;
    LoggingOut = false;
    FatalErrorShown = false;

    ChannelListCreationStep();
    WatchCreationStep();
    BroadcastCreationStep();
    FrameCreationStep();
    TrayCreationStep();
}

void TMainForm::ShowServerError(const QString& text, bool endApplication) {
    ShowMessageBox(nullptr, QStringLiteral("Error"), QStringLiteral("Server Error: %1.").arg(text),
                   TMessageIcon::Stop);
    if (endApplication)
        EndProcessNow(1);
}

void TMainForm::Exit2Click() {
    Exiting = true;
    close();
}

void TMainForm::Exit1Click() {
    Exiting = true;
    close();
}

void TMainForm::Exit3Click() {
    Exit2Click();
}

void TMainForm::Logout1Click() {
    LoggingOut = true;
    Exiting = true;
    close();
}

void TMainForm::Logout2Click() {
    Logout1Click();
}

void TMainForm::Logout3Click() {
    Logout1Click();
}

void TMainForm::Minimizetotray1Click() {
    close();
}
