#include "service/TRequestWorker.h"

#include "platform/TWindowMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const char* const UserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:26.0) Gecko/20100101 Firefox/26.0";
constexpr long ConnectTimeoutS = 30;
// A transfer that receives nothing for this long is given up.
constexpr long StalledTransferS = 60;
// No reply of the service comes near this; a bigger one is refused rather than kept.
constexpr std::size_t MaxReplyBytes = 16 * 1024 * 1024;
// How long the destructor waits for transfers to notice the abort before it lets them go.
constexpr int AbortWaitMs = 5000;

struct TCurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct TSlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The query on the wire: byte for byte as composed, except the bytes that cannot stand in
// an HTTP request line (blank, control bytes, bytes of 0x80 and above) and "#", which would
// end the URL there; those are percent-encoded.
QByteArray EncodeQuery(const QByteArray& query) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(query.size());
    for (const char c : query) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '#') {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

struct TRequestWorker::TShared {
    // A worker's outcome, read by the UI thread while the worker waits in Send.
    struct TDelivery {
        QByteArray Query;
        int Notify = 0;
        QByteArray Reply;
        bool Failed = false;
        QString Error;
        const std::atomic<bool>* Worker = nullptr; // identifies the worker
    };

    // What SendRequest hands to its worker thread when it starts it.
    struct TJob {
        QByteArray Query;
        int Notify = 0;           // 0: synchronous
        std::uint64_t Order = 0;  // order of performing, of all requests
        std::uint64_t Ticket = 0; // order of delivery, of asynchronous requests
        bool HasCredentials = false;
        QByteArray UserName, Password;
        std::shared_ptr<std::atomic<bool>> Done;
        TDelivery* SyncOutcome = nullptr; // synchronous: where the UI thread reads it
    };

    struct TWorkerThread {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };

    // Receives the workers' messages on the UI thread, fills the slot and passes them on to
    // the target. Between the worker and the target so that the destructor can refuse
    // deliveries and still release workers that wait in Send.
    class TProxy : public QObject {
    public:
        explicit TProxy(std::shared_ptr<TShared> shared) : Shared(std::move(shared)) {}

    protected:
        bool event(QEvent* e) override;

    private:
        // Keeps the shared state alive while a handler destroys the owner under our feet.
        std::shared_ptr<TShared> Shared;
    };

    static void RequestThreadProc(const std::shared_ptr<TShared>& shared, TJob job);
    void DeliverInTurn(const std::shared_ptr<TDelivery>& delivery, std::uint64_t ticket);
    void SkipPerformTurn(std::uint64_t order);
    void AdvancePerformTurn(); // TurnLock held
    TDelivery Perform(const TJob& job);

    static std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t WriteHeader(char* data, std::size_t size, std::size_t count, void* user);
    static int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    // -- Set by the constructor, read-only afterwards.
    QByteArray BaseUrl;
    TProxy* Proxy = nullptr; // deleted by the destructor once no worker can be sending to it

    // -- RequestMutex: at most one HTTP exchange at a time. Guards the HTTP client and its
    //    buffers below.
    std::mutex RequestMutex;
    std::unique_ptr<CURL, TCurlDeleter> Curl;
    std::unique_ptr<curl_slist, TSlistDeleter> Headers;
    std::string Body;
    std::string StatusLine;
    bool ReplyTooLarge = false;
    char ErrorBuffer[CURL_ERROR_SIZE] = {};

    // Read by the progress callback of the transfer in flight; set by the destructor.
    std::atomic<bool> Aborting{false};

    // -- TurnLock: the order of performing and of delivery. Never held while waiting for
    //    the UI thread or the network.
    std::mutex TurnLock;
    std::condition_variable TurnChanged;
    std::uint64_t PerformTurn = 0;   // guarded by TurnLock: the order whose turn it is
    std::set<std::uint64_t> Skipped; // guarded by TurnLock: orders that got no thread
    std::uint64_t DeliverTurn = 0;   // guarded by TurnLock: the ticket whose turn it is
    bool Closing = false;            // guarded by TurnLock: deliver nothing more
    int Sending = 0;                 // guarded by TurnLock: workers inside Send to Proxy

    // -- UI thread only.
    TRequestWorker* Owner = nullptr; // null once the owner is being destroyed
    QPointer<QObject> Target;
    std::uint64_t NextOrder = 0;
    std::uint64_t NextTicket = 0;
    int InFlight = 0;                                 // asynchronous requests not yet delivered
    std::vector<const std::atomic<bool>*> Delivering; // workers whose handler runs now
    bool HasCredentials = false;
    QByteArray UserName, Password;
    std::list<TWorkerThread> Workers;
};

// UI thread: a worker waits in Send while this runs, so its delivery is safe to read.
bool TRequestWorker::TShared::TProxy::event(QEvent* e) {
    TWindowMessage* message = TWindowMessage::From(e);
    if (message == nullptr)
        return QObject::event(e);
    TShared& s = *Shared;
    if (s.Owner == nullptr)
        return true; // closing: nothing more reaches the target
    const auto* delivery = reinterpret_cast<const TDelivery*>(message->LParam);
    const bool completion = message->Msg() != WM_REQ_CONNSTATE;
    if (completion) {
        // The slot holds this request's outcome right before its own completion message, so
        // the handler reads its own reply even if the UI thread wrote the slot in between.
        TRequestWorker& owner = *s.Owner;
        owner.RequestQuery = delivery->Query;
        owner.RequestNotify = delivery->Notify;
        owner.LastReply = delivery->Reply;
        owner.RequestFailed = delivery->Failed;
        owner.RequestError = delivery->Error;
        --s.InFlight;
        // The next worker may go on now; its messages reach the UI thread after this
        // handler, or inside it when the handler runs an event loop (a modal message box).
        {
            std::lock_guard<std::mutex> guard(s.TurnLock);
            ++s.DeliverTurn;
        }
        s.TurnChanged.notify_all();
    }
    // While the handler runs, its worker waits for it: the destructor, if the handler calls
    // it, must not wait for that worker.
    s.Delivering.push_back(delivery->Worker);
    TWindowMessage::Send(s.Target, message->Msg(), completion ? 0 : message->WParam, 0);
    // The handler may have destroyed the owner; only the shared state is still ours.
    s.Delivering.erase(std::find(s.Delivering.begin(), s.Delivering.end(), delivery->Worker));
    return true;
}

// Worker thread.
std::size_t TRequestWorker::TShared::WriteBody(char* data, std::size_t size, std::size_t count,
                                               void* user) {
    auto* s = static_cast<TShared*>(user);
    const std::size_t bytes = size * count;
    if (s->Body.size() + bytes > MaxReplyBytes) {
        s->ReplyTooLarge = true;
        return 0; // ends the transfer with a write error
    }
    s->Body.append(data, bytes);
    return bytes;
}

// Worker thread: keeps the status line of the reply, without its line end.
std::size_t TRequestWorker::TShared::WriteHeader(char* data, std::size_t size, std::size_t count,
                                                 void* user) {
    auto* s = static_cast<TShared*>(user);
    const std::size_t bytes = size * count;
    std::string line(data, bytes);
    if (line.compare(0, 5, "HTTP/") == 0) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        s->StatusLine = line;
    }
    return bytes;
}

// Worker thread, during the transfer.
int TRequestWorker::TShared::Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<TShared*>(user)->Aborting.load() ? 1 : 0;
}

// Worker thread, holding RequestMutex.
TRequestWorker::TShared::TDelivery TRequestWorker::TShared::Perform(const TJob& job) {
    TDelivery outcome;
    CURL* curl = Curl.get();
    if (curl == nullptr) {
        outcome.Failed = true;
        outcome.Error = QStringLiteral("Internal error: the HTTP client could not be created.");
        return outcome;
    }
    const QByteArray url = BaseUrl + EncodeQuery(job.Query);
    Body.clear();
    StatusLine.clear();
    ReplyTooLarge = false;
    ErrorBuffer[0] = '\0';
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    if (job.HasCredentials) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, job.UserName.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, job.Password.constData());
    } else {
        curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr);
    }
    const CURLcode code = Aborting ? CURLE_ABORTED_BY_CALLBACK : curl_easy_perform(curl);
    if (code != CURLE_OK) {
        outcome.Failed = true;
        if (ReplyTooLarge)
            outcome.Error = QStringLiteral("The reply is larger than %1 bytes.").arg(MaxReplyBytes);
        else
            outcome.Error =
                QString::fromUtf8(ErrorBuffer[0] != '\0' ? ErrorBuffer : curl_easy_strerror(code));
        return outcome;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200 && status <= 299) {
        outcome.Reply = QByteArray(Body.data(), static_cast<qsizetype>(Body.size()));
        return outcome;
    }
    const QString statusLine =
        StatusLine.empty()
            ? QStringLiteral("HTTP %1").arg(status)
            : QString::fromUtf8(StatusLine.data(), static_cast<qsizetype>(StatusLine.size()));
    // A refused authorization is no transport failure: its caller sees an empty reply.
    if (!statusLine.toUpper().contains(QLatin1String("UNAUTHORIZED"))) {
        outcome.Failed = true;
        outcome.Error = statusLine;
    }
    return outcome;
}

// Any thread holding TurnLock: the next request may perform its exchange.
void TRequestWorker::TShared::AdvancePerformTurn() {
    ++PerformTurn;
    while (Skipped.erase(PerformTurn) != 0)
        ++PerformTurn;
}

// UI thread: a request that got no thread gives up its turn.
void TRequestWorker::TShared::SkipPerformTurn(std::uint64_t order) {
    {
        std::lock_guard<std::mutex> guard(TurnLock);
        if (PerformTurn == order)
            AdvancePerformTurn();
        else
            Skipped.insert(order);
    }
    TurnChanged.notify_all();
}

// The worker thread of one request: its own query and notify value came with it.
void TRequestWorker::TShared::RequestThreadProc(const std::shared_ptr<TShared>& shared, TJob job) {
    TShared& s = *shared;
    TDelivery delivery;
    bool closing;
    {
        // Exchanges run in the order the requests were started, so that the service sees a
        // stop and a start in the order the user gave them.
        std::unique_lock<std::mutex> lock(s.TurnLock);
        s.TurnChanged.wait(lock, [&] { return s.Closing || s.PerformTurn == job.Order; });
        closing = s.Closing;
    }
    if (!closing) {
        bool locked = false;
        try {
            s.RequestMutex.lock();
            locked = true;
        } catch (const std::system_error&) {
            delivery.Failed = true;
            delivery.Error = QStringLiteral("Internal error: SSL thread error.");
        }
        if (locked) {
            delivery = s.Perform(job);
            s.RequestMutex.unlock();
        }
    }
    {
        std::lock_guard<std::mutex> guard(s.TurnLock);
        s.AdvancePerformTurn();
    }
    s.TurnChanged.notify_all();
    delivery.Query = job.Query;
    delivery.Notify = job.Notify;
    delivery.Worker = job.Done.get();
    if (job.SyncOutcome != nullptr)
        *job.SyncOutcome = delivery; // the UI thread waits for this thread's end to read it

    if (job.Notify != 0) {
        bool deliver = false;
        {
            // Replies are handed over in the order the requests were started.
            std::unique_lock<std::mutex> lock(s.TurnLock);
            s.TurnChanged.wait(lock, [&] { return s.Closing || s.DeliverTurn == job.Ticket; });
            deliver = !s.Closing;
            if (deliver)
                ++s.Sending;
        }
        if (deliver) {
            // Sent, not posted: the handler reads the slot while this worker waits, and runs
            // after WM_REQ_CONNSTATE was handled. No lock is held meanwhile.
            TWindowMessage::Send(s.Proxy, WM_REQ_CONNSTATE, delivery.Failed ? 1 : 0,
                                 reinterpret_cast<std::intptr_t>(&delivery));
            TWindowMessage::Send(s.Proxy, job.Notify, 0,
                                 reinterpret_cast<std::intptr_t>(&delivery));
            std::lock_guard<std::mutex> guard(s.TurnLock);
            --s.Sending;
        }
    }
    {
        std::lock_guard<std::mutex> guard(s.TurnLock);
        job.Done->store(true);
    }
    s.TurnChanged.notify_all();
}

// UI thread: the outcome of a request that got no thread, delivered when its turn comes.
void TRequestWorker::TShared::DeliverInTurn(const std::shared_ptr<TDelivery>& delivery,
                                            std::uint64_t ticket) {
    {
        std::lock_guard<std::mutex> guard(TurnLock);
        if (Closing)
            return;
        if (DeliverTurn != ticket) {
            // The proxy as context: the timer dies with it, before this state does.
            QTimer::singleShot(10, Proxy,
                               [this, delivery, ticket] { DeliverInTurn(delivery, ticket); });
            return;
        }
    }
    const auto lParam = reinterpret_cast<std::intptr_t>(delivery.get());
    TWindowMessage::Send(Proxy, WM_REQ_CONNSTATE, 1, lParam);
    TWindowMessage::Send(Proxy, delivery->Notify, 0, lParam);
}

// UI thread.
TRequestWorker::TRequestWorker(QObject* target, const QByteArray& apiBaseUrl)
    : Shared(std::make_shared<TShared>()) {
    static std::once_flag curlInitialised;
    std::call_once(curlInitialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    TShared& s = *Shared;
    s.BaseUrl = apiBaseUrl;
    s.Owner = this;
    s.Target = target;
    s.Proxy = new TShared::TProxy(Shared);
    s.Curl.reset(curl_easy_init());
    CURL* curl = s.Curl.get();
    if (curl == nullptr)
        return; // every request then fails with a message

    curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
    headers = curl_slist_append(headers, "Content-Type: text/html");
    s.Headers.reset(headers);
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent);
    // Basic only, sent with the first request (no 401 round trip), never retried.
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, ""); // cookies in memory, for the handle's life
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    // A direct connection, whatever the proxy variables of the environment say.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // Extra trusted authorities beside the system's: the file replaces the default bundle,
    // the system's certificate folder stays.
    const QByteArray caFile = qgetenv("KAVRIEN_CA_FILE");
    if (!caFile.isEmpty()) {
        char* systemFolder = nullptr;
        curl_easy_getinfo(curl, CURLINFO_CAPATH, &systemFolder);
        const std::string folder = systemFolder != nullptr ? systemFolder : "/etc/ssl/certs";
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
        curl_easy_setopt(curl, CURLOPT_CAPATH, folder.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutS);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, StalledTransferS);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, s.ErrorBuffer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &TShared::WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &s);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &TShared::WriteHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &s);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &TShared::Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &s);
}

// UI thread. Also from inside a handler of one of our messages.
TRequestWorker::~TRequestWorker() {
    TShared& s = *Shared;
    s.Owner = nullptr; // the proxy delivers nothing more
    s.Aborting = true; // transfers in flight end at their next progress call
    {
        std::lock_guard<std::mutex> guard(s.TurnLock);
        s.Closing = true;
    }
    s.TurnChanged.notify_all();

    // Workers that wait in Send need the UI thread to take their call, which the proxy then
    // drops. A worker whose handler runs further up this thread's stack cannot end now.
    const auto ended = [&](const TShared::TWorkerThread& worker) {
        return worker.Done->load() || std::find(s.Delivering.begin(), s.Delivering.end(),
                                                worker.Done.get()) != s.Delivering.end();
    };
    const QDeadlineTimer deadline(AbortWaitMs);
    for (;;) {
        QCoreApplication::sendPostedEvents(s.Proxy, QEvent::MetaCall);
        std::unique_lock<std::mutex> lock(s.TurnLock);
        const bool sendersGone = s.Sending <= static_cast<int>(s.Delivering.size());
        const bool allEnded = std::all_of(s.Workers.begin(), s.Workers.end(), ended);
        if (sendersGone && (allEnded || deadline.hasExpired()))
            break;
        s.TurnChanged.wait_for(lock, std::chrono::milliseconds(5));
    }
    for (TShared::TWorkerThread& worker : s.Workers) {
        // A worker still in a transfer or under a handler keeps the shared state alive
        // itself and sends nothing more.
        if (worker.Done->load())
            worker.Thread.join();
        else
            worker.Thread.detach();
    }
    s.Workers.clear();
    // No worker can reach the proxy now; one up this stack is still inside its event().
    if (s.Delivering.empty())
        delete s.Proxy;
    else
        s.Proxy->deleteLater();
    s.Proxy = nullptr;
}

// UI thread: the credentials go to each worker with its job.
void TRequestWorker::SetCredentials(const QByteArray& userName, const QByteArray& password) {
    Shared->HasCredentials = true;
    Shared->UserName = userName;
    Shared->Password = password;
}

// UI thread.
void TRequestWorker::SendRequest(const QByteArray& query, int notify) {
    TShared& s = *Shared;
    RequestQuery = query;
    RequestNotify = notify == REQ_SYNC ? 0 : notify;

    // Threads that have ended are joined here, on the thread that started them.
    s.Workers.remove_if([](TShared::TWorkerThread& worker) {
        if (!worker.Done->load())
            return false;
        worker.Thread.join();
        return true;
    });

    TShared::TJob job;
    job.Query = query;
    job.Notify = RequestNotify;
    job.HasCredentials = s.HasCredentials;
    job.UserName = s.UserName;
    job.Password = s.Password;
    job.Done = std::make_shared<std::atomic<bool>>(false);
    job.Order = s.NextOrder++;
    TShared::TDelivery syncOutcome;
    if (job.Notify == 0)
        job.SyncOutcome = &syncOutcome;
    if (job.Notify != 0) {
        job.Ticket = s.NextTicket++;
        ++s.InFlight;
    }
    try {
        std::thread thread(&TShared::RequestThreadProc, Shared, job);
        if (job.Notify == 0) {
            // No message comes in this mode, so waiting here cannot stall a worker.
            thread.join();
            LastReply = syncOutcome.Reply;
            RequestFailed = syncOutcome.Failed;
            RequestError = syncOutcome.Error;
            return;
        }
        s.Workers.push_back({std::move(thread), job.Done});
        return;
    } catch (const std::system_error&) {
    }
    // No thread: the request fails where it would have been performed.
    s.SkipPerformTurn(job.Order);
    const QString error = QStringLiteral("Internal error: SSL thread error.");
    if (job.Notify == 0) {
        LastReply.clear();
        RequestFailed = true;
        RequestError = error;
        return;
    }
    // Handed over in its turn, like a worker's, from the UI thread's event loop.
    auto delivery = std::make_shared<TShared::TDelivery>();
    delivery->Query = job.Query;
    delivery->Notify = job.Notify;
    delivery->Failed = true;
    delivery->Error = error;
    s.DeliverInTurn(delivery, job.Ticket);
}

// UI thread.
bool TRequestWorker::RequestsInFlight() const {
    return Shared->InFlight > 0;
}

// UI thread.
bool TRequestWorker::WaitForRequestsInFlight(int timeoutMs) {
    TShared& s = *Shared;
    if (s.InFlight == 0)
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (s.InFlight == 0 || deadline.hasExpired())
            loop.quit();
    });
    check.start();
    loop.exec();
    return s.InFlight == 0;
}
