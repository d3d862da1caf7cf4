// The stand-in service's own behaviour, where the client's tests rely on it: its answers to
// the commands, the broadcast shared by all users, the control interface and the streams.

#include "tests/support/TStandInService.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TReply {
    int Status = 0; // 0: no reply at all
    std::string Body;
    std::string Reason;
};

// One HTTPS GET to the API with an independent client that trusts the service's test CA.
TReply Get(TStandInService& service, const std::string& query, const char* user = nullptr,
           const char* password = nullptr) {
    httplib::SSLClient client("127.0.0.1", service.ApiPort());
    client.set_ca_cert_path(service.CaFile().toStdString().c_str());
    client.enable_server_certificate_verification(true);
    client.set_read_timeout(20, 0);
    if (user != nullptr)
        client.set_basic_auth(user, password);
    httplib::Result result = client.Get("/admin/api.php?" + query);
    if (!result)
        return {};
    return {result->status, result->body, result->reason};
}

class StandInServiceTest : public TStandInServiceSuite {};

TEST_F(StandInServiceTest, AnswersTheCommandsByUserAndCredentials) {
    const char* admin = TStandInService::AdminUser;
    const char* adminPassword = TStandInService::AdminPassword;
    const char* user = TStandInService::User;
    const char* userPassword = TStandInService::UserPassword;
    const std::string streamPrefix = "http://127.0.0.1:" + std::to_string(Service->StreamPort());
    const struct {
        const char* User;
        const char* Password;
        std::string Query;
        int Status;
        std::string Body; // "http..." prefix: the reply starts with it
    } cases[] = {
        {admin, adminPassword, "cmd=test", 200, "OK"},
        {user, userPassword, "cmd=test", 200, "OK"},
        {admin, adminPassword, "cmd=getperms", 200, "admin"},
        {user, userPassword, "cmd=getperms", 200, "user"},
        {user, userPassword, "cmd=listnew", 200,
         TStandInService::DemoChannelListReply().toStdString()},
        {user, userPassword, "cmd=link&cid=12&us=0", 200, streamPrefix + "/live/12.ts"},
        {user, userPassword, "cmd=link&us=0", 200, "NPA"},
        {user, userPassword, "cmd=link&cid=999&us=0", 200, "ERR"},
        {user, userPassword, "cmd=startbdc&cid=12&lang=de", 200, "ACC"},
        {user, userPassword, "cmd=stopbdc", 200, "ACC"},
        {admin, adminPassword, "cmd=startbdc&cid=12", 200, "NPA"},
        {admin, adminPassword, "cmd=startbdc&cid=12&lang=es", 200, "ERR"},
        {user, userPassword, "cmd=bdcstatus", 200, "0;"},
        {user, userPassword, "cmd=nonsense", 200, "UC"},
        {user, userPassword, "us=0", 200, "NPA"},
        // Wrong credentials: a word outside the reply codes for the sign-in test, so the
        // client asks again; every other command is refused.
        {user, "wrong", "cmd=test", 200, "DENIED"},
        {"nobody", "wrong", "cmd=test", 200, "DENIED"},
        {user, "wrong", "cmd=getperms", 200, "ACC"},
        {user, "wrong", "cmd=listnew", 200, "ACC"},
        {user, "wrong", "cmd=bdcstatus", 200, "ACC"},
        {nullptr, nullptr, "cmd=test", 401, ""},
        {nullptr, nullptr, "cmd=listnew", 401, ""},
    };
    for (const auto& c : cases) {
        const TReply reply = Get(*Service, c.Query, c.User, c.Password);
        SCOPED_TRACE(std::string(c.User ? c.User : "(none)") + " " + c.Query);
        EXPECT_EQ(reply.Status, c.Status);
        if (c.Status == 401)
            EXPECT_EQ(reply.Reason, "Unauthorized");
        else
            EXPECT_EQ(reply.Body, c.Body);
    }
}

TEST_F(StandInServiceTest, TheBroadcastIsOneStateForAllUsersWithANewUrlEachTime) {
    const TReply first = Get(*Service, "cmd=startbdc&cid=12&lang=de", TStandInService::AdminUser,
                             TStandInService::AdminPassword);
    ASSERT_EQ(first.Status, 200);
    ASSERT_EQ(first.Body.rfind("http://127.0.0.1:", 0), 0u) << first.Body;

    // Another user sees it; four items: anything;cid;lang;url.
    const TReply status =
        Get(*Service, "cmd=bdcstatus", TStandInService::User, TStandInService::UserPassword);
    EXPECT_EQ(status.Body, "1;12;de;" + first.Body);

    // The same channel and language again is the same broadcast.
    EXPECT_EQ(Get(*Service, "cmd=startbdc&cid=12&lang=de", TStandInService::OtherAdminUser,
                  TStandInService::OtherAdminPassword)
                  .Body,
              first.Body);

    // Another administrator changes it through the control interface: a new URL.
    const TStandInService::TBroadcastState changed = Service->SetBroadcast("13", "de");
    EXPECT_TRUE(changed.Running);
    EXPECT_NE(changed.Url.toStdString(), first.Body);
    EXPECT_EQ(
        Get(*Service, "cmd=bdcstatus", TStandInService::User, TStandInService::UserPassword).Body,
        "1;13;de;" + changed.Url.toStdString());

    // Stopped: fewer than four items, and no reply code.
    const TReply stopped = Get(*Service, "cmd=stopbdc", TStandInService::OtherAdminUser,
                               TStandInService::OtherAdminPassword);
    EXPECT_EQ(stopped.Body, "stopped");
    EXPECT_EQ(
        Get(*Service, "cmd=bdcstatus", TStandInService::User, TStandInService::UserPassword).Body,
        "0;");
    EXPECT_FALSE(Service->Broadcast().Running);
}

TEST_F(StandInServiceTest, ScriptedRepliesAnswerTheirCommandInOrderThenTheServiceAgain) {
    Service->ScriptReply("test", "OK\r\n");
    Service->ScriptStatus("test", 404);
    TStandInService::TScriptedReply withBody;
    withBody.Command = "listnew";
    withBody.Status = 500;
    withBody.Reply = "broken";
    withBody.Count = 2;
    Service->ScriptReply(withBody);
    Service->ScriptRedirect("*", "https://127.0.0.1:1/elsewhere");

    const char* u = TStandInService::User;
    const char* p = TStandInService::UserPassword;
    EXPECT_EQ(Get(*Service, "cmd=listnew", u, p).Body, "broken"); // count 2: one left
    TReply reply = Get(*Service, "cmd=test", u, p);
    EXPECT_EQ(reply.Status, 200);
    EXPECT_EQ(reply.Body, "OK\r\n");
    reply = Get(*Service, "cmd=test", u, p);
    EXPECT_EQ(reply.Status, 404);
    EXPECT_EQ(reply.Reason, "Not Found");
    // "*" answers a command of any kind that has nothing scripted before it.
    reply = Get(*Service, "cmd=getperms", u, p);
    EXPECT_EQ(reply.Status, 302);
    EXPECT_EQ(reply.Body, "Moved\n");
    reply = Get(*Service, "cmd=listnew", u, p);
    EXPECT_EQ(reply.Status, 500);
    EXPECT_EQ(reply.Reason, "Internal Server Error");
    EXPECT_EQ(Get(*Service, "cmd=listnew", u, p).Body,
              TStandInService::DemoChannelListReply().toStdString());
    // Scripted replies come ahead of the credentials check.
    Service->ScriptReply("test", "scripted");
    EXPECT_EQ(Get(*Service, "cmd=test").Body, "scripted");
}

TEST_F(StandInServiceTest, AHangEndsWhenReleasedAndADelayDelays) {
    Service->ScriptHang("listnew");
    TReply hung;
    std::thread client([&] {
        hung = Get(*Service, "cmd=listnew", TStandInService::User, TStandInService::UserPassword);
    });
    ASSERT_TRUE(Service->WaitForLogSize(1));
    for (int i = 0; i < 500 && Service->Hanging() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Service->ReleaseHangs(), 1);
    client.join();
    // After the hang the command's own reply.
    EXPECT_EQ(hung.Body, TStandInService::DemoChannelListReply().toStdString());

    Service->ScriptDelay("test", 700);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(*Service, "cmd=test", TStandInService::User, TStandInService::UserPassword).Body,
              "OK");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
}

TEST_F(StandInServiceTest, TheLogKeepsQueriesAsTheyArrivedWithUserAndCookies) {
    httplib::SSLClient client("127.0.0.1", Service->ApiPort());
    client.set_ca_cert_path(Service->CaFile().toStdString().c_str());
    client.enable_server_certificate_verification(true);
    client.set_basic_auth(TStandInService::User, TStandInService::UserPassword);
    httplib::Result first = client.Get("/admin/api.php?cmd=link&cid=a%20b&x=1&&y");
    ASSERT_TRUE(first);
    const std::string setCookie = first->get_header_value("Set-Cookie");
    ASSERT_EQ(setCookie.rfind("KAVSESSION=", 0), 0u) << setCookie;
    const std::string cookie = setCookie.substr(0, setCookie.find(';'));
    ASSERT_TRUE(client.Get("/admin/api.php?cmd=test", {{"Cookie", cookie}}));
    ASSERT_TRUE(client.Get("/admin/api.php?cmd=test", {{"Cookie", "KAVSESSION=forged"}}));

    const QList<TStandInService::TLoggedRequest> log = Service->TakeLog();
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log[0].Query, "cmd=link&cid=a%20b&x=1&&y");
    using P = QPair<QByteArray, QByteArray>;
    EXPECT_EQ(log[0].Params, (QList<P>{{"cmd", "link"}, {"cid", "a b"}, {"x", "1"}, {"y", ""}}));
    EXPECT_EQ(log[0].User, TStandInService::User);
    EXPECT_EQ(log[0].Auth, "ok");
    EXPECT_EQ(log[0].Cookie, "");
    EXPECT_EQ(log[0].SetCookie.toStdString(), cookie);
    EXPECT_EQ(log[1].Cookie.toStdString(), cookie);
    EXPECT_EQ(log[1].SetCookie, ""); // a known session gets no new cookie
    EXPECT_NE(log[2].SetCookie, "");
    EXPECT_LT(log[0].Seq, log[1].Seq);
    EXPECT_LT(log[1].Seq, log[2].Seq);
    EXPECT_TRUE(Service->Log().isEmpty());
}

// -- Streams

constexpr std::size_t PacketSize = 188;

struct TPmtStream {
    int Type;
    std::string Language; // from the ISO 639 language descriptor
};

// The elementary streams of a PMT packet.
std::vector<TPmtStream> ParsePmt(const unsigned char* p) {
    std::vector<TPmtStream> streams;
    int offset = 4;
    if (p[3] & 0x20)
        offset += 1 + p[4];
    offset += 1 + p[offset]; // pointer field
    const unsigned char* s = p + offset;
    const int length = 3 + (((s[1] & 0x0f) << 8) | s[2]);
    const int programInfo = ((s[10] & 0x0f) << 8) | s[11];
    for (int i = 12 + programInfo; i + 5 <= length - 4;) {
        const int info = ((s[i + 3] & 0x0f) << 8) | s[i + 4];
        TPmtStream stream{s[i], ""};
        for (int d = i + 5; d + 2 <= i + 5 + info; d += 2 + s[d + 1])
            if (s[d] == 0x0a && s[d + 1] >= 3)
                stream.Language.assign(reinterpret_cast<const char*>(s + d + 2), 3);
        streams.push_back(stream);
        i += 5 + info;
    }
    return streams;
}

struct TStreamStart {
    int Status = 0;
    std::string Data;
    double Seconds = 0; // how long reading took
};

// Reads the stream for the given time.
TStreamStart ReadStream(const QByteArray& url, int ms) {
    const std::string u = url.toStdString();
    const std::size_t hostEnd = u.find('/', 7);
    const std::string host = u.substr(7, u.find(':', 7) - 7);
    const int port = std::stoi(u.substr(u.find(':', 7) + 1));
    httplib::Client client(host, port);
    client.set_read_timeout(10, 0);
    TStreamStart start;
    const auto begin = std::chrono::steady_clock::now();
    client.Get(
        u.substr(hostEnd),
        [&](const httplib::Response& response) {
            start.Status = response.status;
            return response.status == 200;
        },
        [&](const char* data, std::size_t size) {
            start.Data.append(data, size);
            return std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(ms);
        });
    start.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return start;
}

int PidOf(const unsigned char* p) {
    return ((p[1] & 0x1f) << 8) | p[2];
}

// The PMT of the stream, checked to come right after the PAT at the stream's start, and
// followed by a video key frame.
std::vector<TPmtStream> CheckStartAndTracks(const std::string& data) {
    EXPECT_GE(data.size(), PacketSize * 3);
    if (data.size() < PacketSize * 3)
        return {};
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    EXPECT_EQ(p[0], 0x47);
    EXPECT_EQ(PidOf(p), 0) << "starts with the PAT";
    std::vector<TPmtStream> streams = ParsePmt(p + PacketSize);
    const unsigned char* key = p + 2 * PacketSize;
    EXPECT_TRUE((key[1] & 0x40) && (key[3] & 0x20) && key[4] > 0 && (key[5] & 0x40))
        << "the third packet starts a key frame";
    return streams;
}

TEST_F(StandInServiceTest, SourceStreamsCarryAllLanguagesAndJoinLateOnAKeyFrame) {
    const QByteArray url = Service->StreamUrl("12");
    const TStreamStart first = ReadStream(url, 1500);
    std::vector<TPmtStream> streams = CheckStartAndTracks(first.Data);
    ASSERT_EQ(streams.size(), 4u);
    EXPECT_EQ(streams[0].Type, 0x1b); // H.264
    const std::vector<std::string> languages = {"eng", "ger", "fre"};
    for (std::size_t i = 0; i < languages.size(); ++i) {
        EXPECT_EQ(streams[i + 1].Type, 0x03); // MPEG audio
        EXPECT_EQ(streams[i + 1].Language, languages[i]);
    }
    // Real-time rate: about a second and a half of ~1 Mbit/s, not the whole file at once.
    EXPECT_LT(first.Data.size(), 2'000'000u);

    // A client joining a running stream starts at once on a key frame.
    const TStreamStart late = ReadStream(url, 300);
    EXPECT_EQ(CheckStartAndTracks(late.Data).size(), 4u);
}

TEST_F(StandInServiceTest, TheBroadcastStreamHasOnlyTheChosenLanguageAndEndsWithTheBroadcast) {
    const TStandInService::TBroadcastState state = Service->SetBroadcast("14", "fr");
    ASSERT_TRUE(state.Running);
    std::vector<TPmtStream> streams = CheckStartAndTracks(ReadStream(state.Url, 500).Data);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].Type, 0x1b);
    EXPECT_EQ(streams[1].Language, "fre");

    // A client of the old broadcast sees its stream end when the broadcast changes.
    TStreamStart old;
    std::thread watcher([&] { old = ReadStream(state.Url, 20000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Service->SetBroadcast("11", "de");
    watcher.join();
    EXPECT_LT(old.Seconds, 10.0);
    EXPECT_EQ(ReadStream(state.Url, 300).Status, 404) << "the old URL is gone";
}

} // namespace
