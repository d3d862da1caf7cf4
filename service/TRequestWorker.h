#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QObject;

// Notify values of SendRequest: REQ_SYNC waits for the reply; the others are the completion
// messages sent to the target when an asynchronous request is done, each preceded by
// WM_REQ_CONNSTATE (wParam 1 when the request failed, else 0).
constexpr int REQ_SYNC = 255;
constexpr int WM_REQ_LIST = 1034;
constexpr int WM_REQ_START = 1035;
constexpr int WM_REQ_STOP = 1036;
constexpr int WM_REQ_STATUS = 1037;
constexpr int WM_REQ_CONNSTATE = 1038;

// Runs each API request on a short-lived worker thread of its own and hands the outcome to
// the UI thread through the request slot. One HTTP client serves all requests, one request
// at a time (RequestMutex); completions are delivered in the order the requests were
// started, each with its own reply.
class TRequestWorker {
public:
    // Completion messages go to target, an object of the UI thread (the main window).
    // apiBaseUrl is the service's address up to and including the "?".
    TRequestWorker(QObject* target, const QByteArray& apiBaseUrl);
    // Waits for the workers still running; nothing more is delivered to the target.
    ~TRequestWorker();
    TRequestWorker(const TRequestWorker&) = delete;
    TRequestWorker& operator=(const TRequestWorker&) = delete;

    // HTTP Basic credentials sent with every later request. UI thread.
    void SetCredentials(const QByteArray& userName, const QByteArray& password);

    // UI thread only. With REQ_SYNC it returns when the reply is in the slot and sends no
    // message; otherwise it returns at once and the reply arrives with the completion
    // message, whose handler reads the slot.
    void SendRequest(const QByteArray& query, int notify);

    // Whether a request has been started whose completion has not been handled yet.
    bool RequestsInFlight() const;

    // UI thread: waits until no request is in flight, at most timeoutMs, handling the UI
    // thread's events meanwhile so that completions are still delivered. True when none
    // is left.
    bool WaitForRequestsInFlight(int timeoutMs);

    // The request slot: the reply of the request being handled. UI thread only: a worker
    // hands its outcome over on the UI thread right before its completion message.
    QByteArray RequestQuery;
    int RequestNotify = 0;
    QByteArray LastReply;
    bool RequestFailed = false;
    QString RequestError;

private:
    struct TShared;
    std::shared_ptr<TShared> Shared;
};
