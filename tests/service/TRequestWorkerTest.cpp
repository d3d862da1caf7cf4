#include "service/TRequestWorker.h"

#include "platform/TWindowMessage.h"
#include "tests/support/TStandInService.h"
#include "tests/support/WaitUntil.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsCompletion(int msg) {
    return msg >= WM_REQ_LIST && msg <= WM_REQ_STATUS;
}

// Stands in for the main window: notes every message and what the slot held when each
// completion message arrived.
class TReceiver : public QObject {
public:
    struct TMessage {
        int Msg;
        std::intptr_t WParam;
        std::intptr_t LParam;
        QByteArray Query; // slot at a completion
        QByteArray Reply;
        bool Failed = false;
        QString Error;
    };
    std::vector<TMessage> Messages;
    TRequestWorker* Worker = nullptr;
    // Runs in the handler of every message, after it was noted.
    std::function<void(int msg)> OnMessage;

    int Completions() const {
        int n = 0;
        for (const TMessage& m : Messages)
            n += IsCompletion(m.Msg) ? 1 : 0;
        return n;
    }

protected:
    bool event(QEvent* e) override {
        TWindowMessage* message = TWindowMessage::From(e);
        if (message == nullptr)
            return QObject::event(e);
        EXPECT_EQ(QThread::currentThread(), thread()) << "handlers run on the UI thread";
        TMessage m{message->Msg(), message->WParam, message->LParam, {}, {}, false, {}};
        if (IsCompletion(m.Msg) && Worker != nullptr) {
            m.Query = Worker->RequestQuery;
            m.Reply = Worker->LastReply;
            m.Failed = Worker->RequestFailed;
            m.Error = Worker->RequestError;
        }
        Messages.push_back(m);
        if (OnMessage)
            OnMessage(m.Msg);
        return true;
    }
};

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class TRequestWorkerTest : public TStandInServiceSuite {
protected:
    void SetUp() override {
        TStandInServiceSuite::SetUp();
        qputenv("KAVRIEN_CA_FILE", Service->CaFile().toLocal8Bit());
    }
    void TearDown() override { qunsetenv("KAVRIEN_CA_FILE"); }

    // A worker for the receiver with the administrator's credentials.
    std::unique_ptr<TRequestWorker> MakeWorker(const QByteArray& baseUrl = QByteArray()) {
        auto worker = std::make_unique<TRequestWorker>(
            &Receiver, baseUrl.isEmpty() ? Service->ApiBaseUrl() : baseUrl);
        worker->SetCredentials(TStandInService::AdminUser, TStandInService::AdminPassword);
        Receiver.Worker = worker.get();
        return worker;
    }

    TReceiver Receiver;
};

TEST_F(TRequestWorkerTest, ASynchronousRequestFillsTheSlotAndSendsNoMessage) {
    auto worker = MakeWorker();
    worker->SendRequest("cmd=getperms", REQ_SYNC);
    EXPECT_EQ(worker->LastReply, "admin");
    EXPECT_FALSE(worker->RequestFailed);
    EXPECT_EQ(worker->RequestError, QString());
    EXPECT_EQ(worker->RequestNotify, 0);
    EXPECT_FALSE(worker->RequestsInFlight());
    ProcessEventsFor(200);
    EXPECT_TRUE(Receiver.Messages.empty());
}

TEST_F(TRequestWorkerTest, SendsTheSettingsHeadersAndCredentialsOverHttp11) {
    auto worker = MakeWorker();
    worker->SendRequest("cmd=test", REQ_SYNC);
    const QList<TStandInService::TLoggedRequest> log = Service->Log();
    ASSERT_EQ(log.size(), 1);
    const TStandInService::TLoggedRequest& r = log[0];
    EXPECT_EQ(r.Version, "HTTP/1.1");
    EXPECT_EQ(r.Header("Accept"), "*/*");
    EXPECT_EQ(r.Header("Content-Type"), "text/html");
    EXPECT_EQ(r.Header("User-Agent"),
              "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:26.0) Gecko/20100101 Firefox/26.0");
    EXPECT_EQ(r.Header("Authorization"),
              "Basic " + QByteArray(QByteArray(TStandInService::AdminUser) + ':' +
                                    TStandInService::AdminPassword)
                             .toBase64());
    EXPECT_EQ(r.User, TStandInService::AdminUser);
    EXPECT_EQ(r.Auth, "ok");
}

struct TOutcomeCase {
    const char* Name;
    std::function<void(TStandInService&)> Script;
    QByteArray Query;
    int Notify;
    bool Credentials;
    bool TrustTestCa;
    bool ClosedPort;
    bool Failed;
    const char* Error; // a regular expression for RequestError; "" means empty
    QByteArray Reply;
};

TEST_F(TRequestWorkerTest, AnAsynchronousRequestSendsConnStateThenItsCompletionWithItsOutcome) {
    const TOutcomeCase cases[] = {
        {"a reply is kept byte for byte",
         [](TStandInService& s) { s.ScriptReply("test", "OK\r\n"); }, "cmd=test", WM_REQ_LIST, true,
         true, false, false, "", "OK\r\n"},
        {"the channel list", nullptr, "cmd=listnew", WM_REQ_LIST, true, true, false, false, "",
         TStandInService::DemoChannelListReply()},
        {"401 is no failure and leaves the reply empty", nullptr, "cmd=bdcstatus", WM_REQ_STATUS,
         false, true, false, false, "", ""},
        {"a scripted 401 the same", [](TStandInService& s) { s.ScriptStatus("bdcstatus", 401); },
         "cmd=bdcstatus", WM_REQ_STATUS, true, true, false, false, "", ""},
        {"404 fails with its status line, the body not kept",
         [](TStandInService& s) {
             TStandInService::TScriptedReply r;
             r.Command = "link";
             r.Status = 404;
             r.Reply = "not here";
             s.ScriptReply(r);
         },
         "cmd=link&cid=11&us=0", WM_REQ_START, true, true, false, true,
         "^HTTP/1\\.1 404 Not Found$", ""},
        {"500 fails with its status line",
         [](TStandInService& s) { s.ScriptStatus("stopbdc", 500); }, "cmd=stopbdc", WM_REQ_STOP,
         true, true, false, true, "^HTTP/1\\.1 500 Internal Server Error$", ""},
        {"a redirect is not followed",
         [](TStandInService& s) { s.ScriptRedirect("link", s.ApiBaseUrl() + "cmd=test"); },
         "cmd=link&cid=11&us=0", WM_REQ_START, true, true, false, true, "^HTTP/1\\.1 302 Found$",
         ""},
        {"a closed port fails with the client's text", nullptr, "cmd=listnew", WM_REQ_LIST, true,
         true, true, true, "^Failed to connect to 127\\.0\\.0\\.1 port \\d+", ""},
        {"a certificate of an unknown CA fails", nullptr, "cmd=listnew", WM_REQ_LIST, true, false,
         false, true, "certificate", ""},
    };
    for (const TOutcomeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Service->Reset();
        Receiver.Messages.clear();
        if (c.Script)
            c.Script(*Service);
        if (!c.TrustTestCa)
            qunsetenv("KAVRIEN_CA_FILE");
        const QByteArray closed =
            "https://127.0.0.1:" + QByteArray::number(ClosedPort()) + "/admin/api.php?";
        TRequestWorker worker(&Receiver, c.ClosedPort ? closed : Service->ApiBaseUrl());
        Receiver.Worker = &worker;
        qputenv("KAVRIEN_CA_FILE", Service->CaFile().toLocal8Bit());
        if (c.Credentials)
            worker.SetCredentials(TStandInService::AdminUser, TStandInService::AdminPassword);

        worker.SendRequest(c.Query, c.Notify);
        EXPECT_TRUE(worker.RequestsInFlight());
        ASSERT_TRUE(WaitUntil([&] { return Receiver.Completions() == 1; }, 30000));
        ProcessEventsFor(50);
        ASSERT_EQ(Receiver.Messages.size(), 2u);
        EXPECT_EQ(Receiver.Messages[0].Msg, WM_REQ_CONNSTATE);
        EXPECT_EQ(Receiver.Messages[0].WParam, c.Failed ? 1 : 0);
        EXPECT_EQ(Receiver.Messages[0].LParam, 0);
        const TReceiver::TMessage& done = Receiver.Messages[1];
        EXPECT_EQ(done.Msg, c.Notify);
        EXPECT_EQ(done.WParam, 0);
        EXPECT_EQ(done.LParam, 0);
        EXPECT_EQ(done.Query, c.Query);
        EXPECT_EQ(done.Failed, c.Failed);
        EXPECT_EQ(done.Reply, c.Reply);
        if (*c.Error == '\0')
            EXPECT_EQ(done.Error, QString());
        else
            EXPECT_TRUE(done.Error.contains(QRegularExpression(QString::fromLatin1(c.Error))))
                << done.Error.toStdString();
        EXPECT_FALSE(worker.RequestsInFlight());
        if (!c.ClosedPort) {
            EXPECT_EQ(Service->Log().size(), c.TrustTestCa ? 1 : 0) << "one request, no retry";
        }
    }
}

TEST_F(TRequestWorkerTest, TheQueryGoesOutAsComposedWithOnlyUnsendableBytesEncoded) {
    auto worker = MakeWorker();
    const struct {
        QByteArray Query;
        QByteArray OnTheWire;
        QList<QPair<QByteArray, QByteArray>> Params;
    } cases[] = {
        // A blank inside a value and "&" inside a value: the service decodes the blank,
        // and the "&" splits the value as it would for any service.
        {"cmd=link&cid=News 24&us=0&name=Tom&Jerry",
         "cmd=link&cid=News%2024&us=0&name=Tom&Jerry",
         {{"cmd", "link"}, {"cid", "News 24"}, {"us", "0"}, {"name", "Tom"}, {"Jerry", ""}}},
        // Anything already encoded, and every other printable byte, stays as given.
        {"cmd=startbdc&cid=a%20b&lang=de|fr;x=[1]*'~!$()",
         "cmd=startbdc&cid=a%20b&lang=de|fr;x=[1]*'~!$()",
         {{"cmd", "startbdc"}, {"cid", "a b"}, {"lang", "de|fr;x=[1]*'~!$()"}}},
        // Bytes of 0x80 and above, control bytes, and "#" that would end the URL.
        {"cmd=link&cid=K\xc3\xb6ln\t#1",
         "cmd=link&cid=K%C3%B6ln%09%231",
         {{"cmd", "link"}, {"cid", "K\xc3\xb6ln\t#1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Query.constData());
        Service->ClearLog();
        worker->SendRequest(c.Query, REQ_SYNC);
        EXPECT_FALSE(worker->RequestFailed) << worker->RequestError.toStdString();
        const QList<TStandInService::TLoggedRequest> log = Service->Log();
        ASSERT_EQ(log.size(), 1);
        EXPECT_EQ(log[0].Query, c.OnTheWire);
        EXPECT_EQ(log[0].Params, c.Params);
    }
}

TEST_F(TRequestWorkerTest, TheSessionCookieComesBackOnLaterRequests) {
    auto worker = MakeWorker();
    worker->SendRequest("cmd=test", REQ_SYNC);
    worker->SendRequest("cmd=getperms", REQ_SYNC);
    worker->SendRequest("cmd=bdcstatus", WM_REQ_STATUS);
    ASSERT_TRUE(WaitUntil([&] { return Receiver.Completions() == 1; }));
    const QList<TStandInService::TLoggedRequest> log = Service->Log();
    ASSERT_EQ(log.size(), 3);
    ASSERT_FALSE(log[0].SetCookie.isEmpty());
    EXPECT_EQ(log[0].Cookie, "");
    EXPECT_EQ(log[1].Cookie, log[0].SetCookie);
    EXPECT_EQ(log[2].Cookie, log[0].SetCookie);
    EXPECT_EQ(log[2].SetCookie, "");
}

TEST_F(TRequestWorkerTest, BackToBackRequestsRunOneAfterTheOtherAndEachHandlerReadsItsOwnReply) {
    auto worker = MakeWorker();
    Service->ScriptDelay("listnew", 500);
    // The first handler takes long and writes the slot, as the main window may; the second
    // reply is ready by then and must not be lost or replaced.
    Receiver.OnMessage = [&](int msg) {
        if (msg != WM_REQ_LIST)
            return;
        QThread::msleep(300);
        worker->LastReply = "written by the handler";
        worker->RequestFailed = true;
        worker->RequestError = QStringLiteral("written by the handler");
    };
    worker->SendRequest("cmd=listnew", WM_REQ_LIST);
    worker->SendRequest("cmd=bdcstatus", WM_REQ_STATUS);
    ASSERT_TRUE(WaitUntil([&] { return Receiver.Completions() == 2; }));
    ProcessEventsFor(50);

    ASSERT_EQ(Receiver.Messages.size(), 4u);
    const int order[] = {WM_REQ_CONNSTATE, WM_REQ_LIST, WM_REQ_CONNSTATE, WM_REQ_STATUS};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Receiver.Messages[i].Msg, order[i]) << i;
    EXPECT_EQ(Receiver.Messages[1].Reply, TStandInService::DemoChannelListReply());
    EXPECT_EQ(Receiver.Messages[1].Query, "cmd=listnew");
    EXPECT_EQ(Receiver.Messages[3].Reply, "0;");
    EXPECT_EQ(Receiver.Messages[3].Query, "cmd=bdcstatus");
    EXPECT_FALSE(Receiver.Messages[3].Failed);
    EXPECT_EQ(Receiver.Messages[3].Error, QString());

    // One after the other: the second arrived only after the first was answered.
    const QList<TStandInService::TLoggedRequest> log = Service->Log();
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log[0].Param("cmd"), "listnew");
    EXPECT_EQ(log[1].Param("cmd"), "bdcstatus");
    EXPECT_GE(log[1].TimeMs - log[0].TimeMs, 500);
}

TEST_F(TRequestWorkerTest, AStatusRequestStartedWhileAnotherHangsIsAnsweredAfterIt) {
    auto worker = MakeWorker();
    Service->ScriptHang("link");
    worker->SendRequest("cmd=link&cid=13&us=0", WM_REQ_START);
    ASSERT_TRUE(WaitUntil([&] { return Service->Hanging() == 1; }));
    worker->SendRequest("cmd=bdcstatus", WM_REQ_STATUS);
    ProcessEventsFor(500);
    EXPECT_TRUE(Receiver.Messages.empty()) << "nothing overtakes the hanging request";
    EXPECT_EQ(Service->Log().size(), 1) << "one exchange at a time";

    EXPECT_EQ(Service->ReleaseHangs(), 1);
    ASSERT_TRUE(WaitUntil([&] { return Receiver.Completions() == 2; }));
    ProcessEventsFor(50);
    ASSERT_EQ(Receiver.Messages.size(), 4u);
    EXPECT_EQ(Receiver.Messages[1].Msg, WM_REQ_START);
    EXPECT_EQ(Receiver.Messages[1].Reply, Service->StreamUrl("13"));
    EXPECT_EQ(Receiver.Messages[3].Msg, WM_REQ_STATUS);
    EXPECT_EQ(Receiver.Messages[3].Reply, "0;");
}

TEST_F(TRequestWorkerTest, WaitingForRequestsInFlightKeepsDeliveringAndIsBounded) {
    auto worker = MakeWorker();
    Service->ScriptDelay("stopbdc", 300);
    worker->SendRequest("cmd=stopbdc", WM_REQ_STOP);
    EXPECT_TRUE(worker->RequestsInFlight());
    EXPECT_TRUE(worker->WaitForRequestsInFlight(20000));
    EXPECT_EQ(Receiver.Completions(), 1) << "delivered during the wait";
    EXPECT_EQ(Receiver.Messages.back().Reply, "stopped");

    Service->ScriptHang("stopbdc");
    worker->SendRequest("cmd=stopbdc", WM_REQ_STOP);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(worker->WaitForRequestsInFlight(400));
    EXPECT_GE(timer.elapsed(), 400);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(worker->RequestsInFlight());
    Service->ReleaseHangs();
    EXPECT_TRUE(worker->WaitForRequestsInFlight(20000));
}

TEST_F(TRequestWorkerTest, TheDestructorReturnsPromptlyWithAHangingRequest) {
    auto worker = MakeWorker();
    Service->ScriptHang("listnew");
    worker->SendRequest("cmd=listnew", WM_REQ_LIST);
    worker->SendRequest("cmd=bdcstatus", WM_REQ_STATUS); // waits behind it
    ASSERT_TRUE(WaitUntil([&] { return Service->Hanging() == 1; }));
    QElapsedTimer timer;
    timer.start();
    worker.reset();
    EXPECT_LT(timer.elapsed(), 3000);
    ProcessEventsFor(200);
    EXPECT_TRUE(Receiver.Messages.empty()) << "nothing is delivered after the destructor";
}

TEST_F(TRequestWorkerTest, TheDestructorReleasesAWorkerWaitingToDeliver) {
    auto worker = MakeWorker();
    worker->SendRequest("cmd=test", WM_REQ_LIST);
    // The UI thread takes no events: the worker gets its reply and waits in its Send.
    ASSERT_TRUE(WaitUntil([&] { return Service->Log().size() == 1; }));
    QThread::msleep(300);
    QElapsedTimer timer;
    timer.start();
    worker.reset();
    EXPECT_LT(timer.elapsed(), 3000);
    ProcessEventsFor(200);
    EXPECT_TRUE(Receiver.Messages.empty());
}

TEST_F(TRequestWorkerTest, AHandlerOfItsMessagesMayDestroyTheWorker) {
    for (const int destroyIn : {WM_REQ_CONNSTATE, WM_REQ_LIST}) {
        SCOPED_TRACE(destroyIn);
        Receiver.Messages.clear();
        auto worker = MakeWorker();
        Receiver.OnMessage = [&](int msg) {
            if (msg != destroyIn)
                return;
            Receiver.Worker = nullptr;
            worker.reset();
        };
        worker->SendRequest("cmd=test", WM_REQ_LIST);
        worker->SendRequest("cmd=bdcstatus", WM_REQ_STATUS);
        ASSERT_TRUE(WaitUntil([&] { return worker == nullptr; }));
        ProcessEventsFor(300);
        ASSERT_FALSE(Receiver.Messages.empty());
        EXPECT_EQ(Receiver.Messages.back().Msg, destroyIn) << "nothing after the destructor";
        Receiver.OnMessage = nullptr;
    }
}

} // namespace
