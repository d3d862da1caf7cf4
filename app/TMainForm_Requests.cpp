// Starting requests, the fatal transport failure, and the connection lamp.

#include "app/TMainForm.h"

#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "service/TRequestWorker.h"

#include <QLabel>
#include <QTimer>

void TMainForm::SendRequest(const QByteArray& query, int notify) {
    Requests->SendRequest(query, notify);
    if (notify != REQ_SYNC)
        SetConnState(1);
}

void TMainForm::CheckRequestFailed() {
    if (!Requests->RequestFailed || FatalErrorShown)
        return;
    FatalErrorShown = true;
    // Stopped first: while the message is up, its modal loop still runs the timer.
    StatusTimer->stop();
    ShowMessageBox(this, QStringLiteral("Error"),
                   QStringLiteral("Error while sending request to server. Check your internet "
                                  "connection and restart the program.\rInternal Error: ") +
                       Requests->RequestError,
                   TMessageIcon::Stop);
    EndProcessNow(1);
}

void TMainForm::SetConnState(int state) {
    switch (state) {
    case 0:
        ConnStateLed->setPixmap(LedIdleImage);
        break;
    case 1:
        ConnStateLed->setPixmap(LedBusyImage);
        break;
    case 2:
        ConnStateLed->setPixmap(LedFailedImage);
        break;
    default:
        break;
    }
    // At once, not at the next paint: a request may be over before the loop paints.
    ConnStateLed->repaint();
}

void TMainForm::WMReqConnState(std::intptr_t wParam) {
    if (wParam == 0)
        SetConnState(0);
    else if (wParam == 1)
        SetConnState(2);
}
