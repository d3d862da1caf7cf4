#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

// The project's stand-in service (tools/service/kavrien-service) for a test: started from
// the build tree with the demo data (tools/demo-data) and the demo content on free ports of
// 127.0.0.1, with a fresh test CA in a temporary folder; stopped by the destructor.
//
//     TStandInService service;                  // fails the test if it cannot start
//     qputenv("KAVRIEN_CA_FILE", service.CaFile().toLocal8Bit());  // read by the client
//     TRequestWorker worker(&window, service.ApiBaseUrl());        // at its construction
//     worker.SetCredentials(TStandInService::AdminUser, TStandInService::AdminPassword);
//     service.ScriptReply("listnew", "7;News;en;");  // the next cmd=listnew answers this
//     service.ScriptStatus("bdcstatus", 500);        // "HTTP/1.1 500 Internal Server Error"
//     service.ScriptHang("link"); ... service.ReleaseHangs();
//     service.Log()                                  // every API request as it arrived
//
// For a program under test, ClientEnvironment() gives KAVRIEN_API_URL and KAVRIEN_CA_FILE.
// StreamUrl(cid) is a channel's live MPEG-TS stream (all its audio tracks, starting on a
// key frame); SetBroadcast/EndBroadcast change the broadcast as another administrator would.
//
// Construct it on the test's main thread: the service dies with that thread (also when the
// test crashes or a death test ends the process). Starting takes well under a second; a
// suite that starts many tests may share one instance (SetUpTestSuite) and call Reset()
// between tests. Control calls block for a moment (loopback HTTP); a failed call fails the
// test and returns an empty result. Every scripted delay or hang ends by itself after 30 s.
class TStandInService {
public:
    // The demo users (tools/demo-data/users.txt): two administrators and an ordinary user.
    static constexpr const char* AdminUser = "admin";
    static constexpr const char* AdminPassword = "Harbour-42";
    static constexpr const char* OtherAdminUser = "mara";
    static constexpr const char* OtherAdminPassword = "Lighthouse-7";
    static constexpr const char* User = "anna";
    static constexpr const char* UserPassword = "Sunflower-9";

    struct TChannel {
        QByteArray Id;
        QByteArray Name;
        QByteArray Languages; // as in the channel list, e.g. "en,de"
    };
    // The demo channels (tools/demo-data/channels.txt) in their order: four, the third
    // with a single language.
    static QList<TChannel> DemoChannels();
    // The exact reply of cmd=listnew for the demo channels.
    static QByteArray DemoChannelListReply();

    TStandInService();
    ~TStandInService();
    TStandInService(const TStandInService&) = delete;
    TStandInService& operator=(const TStandInService&) = delete;

    bool IsRunning() const;
    // "https://127.0.0.1:<port>/admin/api.php?"
    QByteArray ApiBaseUrl() const;
    // The test CA's PEM file, for KAVRIEN_CA_FILE.
    QString CaFile() const;
    // KAVRIEN_API_URL and KAVRIEN_CA_FILE for a client program, e.g. TProgramUnderTest's.
    QProcessEnvironment ClientEnvironment() const;
    // "http://127.0.0.1:<port>/live/<cid>.ts", what cmd=link answers for the channel.
    QByteArray StreamUrl(const QByteArray& cid) const;
    int ApiPort() const;
    int StreamPort() const;

    // A scripted answer to the next request(s) of a command, ahead of the service's own
    // (also ahead of its credentials check). Only DelayMs or Hang: the command's own reply
    // follows the wait.
    struct TScriptedReply {
        QByteArray Command;              // the value of cmd= ("test", "link", ...), "*" any
        std::optional<QByteArray> Reply; // 200 with this body (or the body of Status)
        int Status = 0;                  // this HTTP status, with its standard reason phrase
        QByteArray Redirect;             // a redirect (Status or 302) to this URL
        int DelayMs = 0;                 // wait before answering (at most 30000)
        bool Hang = false;               // wait until ReleaseHangs (at most 30 s)
        int Count = 1;                   // how many requests it answers
    };
    void ScriptReply(const TScriptedReply& reply);
    void ScriptReply(const QByteArray& command, const QByteArray& reply, int count = 1);
    void ScriptStatus(const QByteArray& command, int status, int count = 1);
    void ScriptDelay(const QByteArray& command, int delayMs, int count = 1);
    void ScriptHang(const QByteArray& command, int count = 1);
    void ScriptRedirect(const QByteArray& command, const QByteArray& url);
    void ClearScript();
    // Lets every hanging request go on; how many there were.
    int ReleaseHangs();
    // Requests hanging now.
    int Hanging();

    struct TBroadcastState {
        bool Running = false;
        quint64 Generation = 0; // a new one, with a new URL, for every new broadcast
        QByteArray Cid;
        QByteArray Lang;
        QByteArray Url; // what cmd=startbdc and cmd=bdcstatus give for it
    };
    // As another administrator would; the same channel and language again changes nothing.
    TBroadcastState SetBroadcast(const QByteArray& cid, const QByteArray& lang);
    void EndBroadcast();
    TBroadcastState Broadcast();

    struct TLoggedRequest {
        quint64 Seq = 0;                             // arrival order
        qint64 TimeMs = 0;                           // arrival, ms since the service started
        QByteArray Version;                          // "HTTP/1.1"
        QByteArray Query;                            // after "?", exactly as it arrived
        QList<QPair<QByteArray, QByteArray>> Params; // decoded, in order
        QByteArray User;                             // Basic authentication's user, empty without
        QByteArray Auth;                             // "none", "bad" or "ok"
        QByteArray Cookie;                           // the Cookie header sent, empty without
        QByteArray SetCookie; // "KAVSESSION=..." when this reply set the session cookie
        QList<QPair<QByteArray, QByteArray>> Headers; // as sent, names in lower case
        // The decoded value of the last parameter of that name; empty when none.
        QByteArray Param(const QByteArray& name) const;
        // The value of the header (name in any case), empty when it was not sent.
        QByteArray Header(const QByteArray& name) const;
        bool HasHeader(const QByteArray& name) const;
    };
    // The API requests received so far, in arrival order.
    QList<TLoggedRequest> Log();
    // The same, emptying the log in the same step.
    QList<TLoggedRequest> TakeLog();
    void ClearLog();
    // Runs the UI thread's event loop until the log holds at least count requests.
    bool WaitForLogSize(int count, int timeoutMs = 10000);

    // Script, log and broadcast as after the start.
    void Reset();

private:
    struct TProcess;
    std::unique_ptr<TProcess> Process;
};

// A fixture whose tests share one service: started once for the suite, reset (script, log,
// broadcast) before each test. A fixture that overrides SetUp calls this one's first.
class TStandInServiceSuite : public testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static TStandInService* Service;
};
