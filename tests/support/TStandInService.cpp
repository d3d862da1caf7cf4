#include "tests/support/TStandInService.h"

#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "tools/service/TServiceProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QString ServiceProgram() {
    return TestEnvironment::BuildDir() + QStringLiteral("/tools/service/kavrien-service");
}
QString DemoData() {
    return TestEnvironment::SourceDir() + QStringLiteral("/tools/demo-data");
}
QString DemoContent() {
    return TestEnvironment::BuildDir() + QStringLiteral("/demo-content");
}

// JSON strings carry the service's bytes as characters U+0000..U+00FF.
QByteArray Bytes(const QJsonValue& value) {
    return value.toString().toLatin1();
}

TStandInService::TBroadcastState ParseBroadcast(const QByteArray& json) {
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    TStandInService::TBroadcastState state;
    state.Running = o.value(QLatin1String("running")).toBool();
    state.Generation = static_cast<quint64>(o.value(QLatin1String("generation")).toDouble());
    state.Cid = Bytes(o.value(QLatin1String("cid")));
    state.Lang = Bytes(o.value(QLatin1String("lang")));
    state.Url = Bytes(o.value(QLatin1String("url")));
    return state;
}

} // namespace

struct TStandInService::TProcess {
    TServiceProcess Service;
    QTemporaryDir Folder{QDir::tempPath() + QStringLiteral("/kavrien-service-XXXXXX")};
    QByteArray ApiUrl;
    QString CaFile;
    int ApiPort = 0;
    int ControlPort = 0;
    int StreamPort = 0;

    bool Start();
    void Stop();
    // A control call; the reply body, or nothing after a failure (reported to the test).
    std::optional<QByteArray> Call(const char* method, const std::string& path,
                                   const httplib::Params& params = {});
};

bool TStandInService::TProcess::Start() {
    if (!QFile::exists(DemoContent() + QStringLiteral("/11.ts")))
        ADD_FAILURE() << "The demo content is missing in " << DemoContent().toStdString()
                      << " (build the target kavrien_demo_content); streams will fail";
    if (!Folder.isValid()) {
        ADD_FAILURE() << "No temporary folder for the stand-in service";
        return false;
    }
    if (!Service.Start(ServiceProgram(), DemoData(), DemoContent(),
                       Folder.path() + QStringLiteral("/tls"))) {
        ADD_FAILURE() << Service.Error().toStdString();
        return false;
    }
    const TServiceProcess::TEndpoints& at = Service.Endpoints();
    ApiUrl = at.ApiBaseUrl;
    ApiPort = at.ApiPort;
    ControlPort = at.ControlPort;
    StreamPort = at.StreamPort;
    CaFile = at.CaFile;
    return true;
}

void TStandInService::TProcess::Stop() {
    if (!Service.Stop())
        ADD_FAILURE() << Service.Error().toStdString();
}

std::optional<QByteArray> TStandInService::TProcess::Call(const char* method,
                                                          const std::string& path,
                                                          const httplib::Params& params) {
    if (!Service.IsRunning()) {
        ADD_FAILURE() << "The stand-in service is not running (" << method << " " << path << ")";
        return std::nullopt;
    }
    httplib::Client client("127.0.0.1", ControlPort);
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(10, 0);
    httplib::Result result = std::strcmp(method, "GET") == 0
                                 ? client.Get(path, params, httplib::Headers())
                                 : client.Post(path, params);
    if (!result) {
        ADD_FAILURE() << "Control call " << method << " " << path
                      << " failed: " << httplib::to_string(result.error());
        return std::nullopt;
    }
    if (result->status != 200) {
        ADD_FAILURE() << "Control call " << method << " " << path << " answered " << result->status
                      << ": " << result->body;
        return std::nullopt;
    }
    return QByteArray::fromStdString(result->body);
}

QList<TStandInService::TChannel> TStandInService::DemoChannels() {
    QList<TChannel> channels;
    QFile file(DemoData() + QStringLiteral("/channels.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "Cannot read " << file.fileName().toStdString();
        return channels;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> parts = line.split(';');
        if (parts.size() == 3)
            channels.append({parts[0], parts[1], parts[2]});
    }
    return channels;
}

QByteArray TStandInService::DemoChannelListReply() {
    QByteArray reply;
    for (const TChannel& channel : DemoChannels())
        reply += channel.Id + ';' + channel.Name + ';' + channel.Languages + ';';
    return reply;
}

TStandInService::TStandInService() : Process(std::make_unique<TProcess>()) {
    Process->Start();
}

TStandInService::~TStandInService() {
    Process->Stop();
}

bool TStandInService::IsRunning() const {
    return Process->Service.IsRunning();
}
QByteArray TStandInService::ApiBaseUrl() const {
    return Process->ApiUrl;
}
QString TStandInService::CaFile() const {
    return Process->CaFile;
}
int TStandInService::ApiPort() const {
    return Process->ApiPort;
}
int TStandInService::StreamPort() const {
    return Process->StreamPort;
}

QProcessEnvironment TStandInService::ClientEnvironment() const {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("KAVRIEN_API_URL"), QString::fromLatin1(ApiBaseUrl()));
    environment.insert(QStringLiteral("KAVRIEN_CA_FILE"), CaFile());
    return environment;
}

QByteArray TStandInService::StreamUrl(const QByteArray& cid) const {
    return "http://127.0.0.1:" + QByteArray::number(Process->StreamPort) + "/live/" +
           cid.toPercentEncoding() + ".ts";
}

void TStandInService::ScriptReply(const TScriptedReply& reply) {
    httplib::Params params{{"command", reply.Command.toStdString()},
                           {"count", std::to_string(reply.Count)}};
    if (reply.Reply)
        params.emplace("reply", reply.Reply->toStdString());
    if (reply.Status != 0)
        params.emplace("status", std::to_string(reply.Status));
    if (!reply.Redirect.isEmpty())
        params.emplace("redirect", reply.Redirect.toStdString());
    if (reply.DelayMs > 0)
        params.emplace("delay_ms", std::to_string(reply.DelayMs));
    if (reply.Hang)
        params.emplace("hang", "1");
    Process->Call("POST", "/script", params);
}

void TStandInService::ScriptReply(const QByteArray& command, const QByteArray& reply, int count) {
    TScriptedReply scripted;
    scripted.Command = command;
    scripted.Reply = reply;
    scripted.Count = count;
    ScriptReply(scripted);
}

void TStandInService::ScriptStatus(const QByteArray& command, int status, int count) {
    TScriptedReply scripted;
    scripted.Command = command;
    scripted.Status = status;
    scripted.Count = count;
    ScriptReply(scripted);
}

void TStandInService::ScriptDelay(const QByteArray& command, int delayMs, int count) {
    TScriptedReply scripted;
    scripted.Command = command;
    scripted.DelayMs = delayMs;
    scripted.Count = count;
    ScriptReply(scripted);
}

void TStandInService::ScriptHang(const QByteArray& command, int count) {
    TScriptedReply scripted;
    scripted.Command = command;
    scripted.Hang = true;
    scripted.Count = count;
    ScriptReply(scripted);
}

void TStandInService::ScriptRedirect(const QByteArray& command, const QByteArray& url) {
    TScriptedReply scripted;
    scripted.Command = command;
    scripted.Redirect = url;
    ScriptReply(scripted);
}

void TStandInService::ClearScript() {
    Process->Call("POST", "/script/clear");
}

int TStandInService::ReleaseHangs() {
    const std::optional<QByteArray> reply = Process->Call("POST", "/release");
    return reply ? QJsonDocument::fromJson(*reply).object().value(QLatin1String("released")).toInt()
                 : 0;
}

int TStandInService::Hanging() {
    const std::optional<QByteArray> reply = Process->Call("GET", "/hanging");
    return reply ? QJsonDocument::fromJson(*reply).object().value(QLatin1String("hanging")).toInt()
                 : 0;
}

TStandInService::TBroadcastState TStandInService::SetBroadcast(const QByteArray& cid,
                                                               const QByteArray& lang) {
    const std::optional<QByteArray> reply = Process->Call(
        "POST", "/broadcast", {{"cid", cid.toStdString()}, {"lang", lang.toStdString()}});
    return reply ? ParseBroadcast(*reply) : TBroadcastState();
}

void TStandInService::EndBroadcast() {
    Process->Call("POST", "/broadcast/end");
}

TStandInService::TBroadcastState TStandInService::Broadcast() {
    const std::optional<QByteArray> reply = Process->Call("GET", "/broadcast");
    return reply ? ParseBroadcast(*reply) : TBroadcastState();
}

QByteArray TStandInService::TLoggedRequest::Param(const QByteArray& name) const {
    QByteArray value;
    for (const auto& param : Params)
        if (param.first == name)
            value = param.second;
    return value;
}

QByteArray TStandInService::TLoggedRequest::Header(const QByteArray& name) const {
    for (const auto& header : Headers)
        if (header.first == name.toLower())
            return header.second;
    return {};
}

bool TStandInService::TLoggedRequest::HasHeader(const QByteArray& name) const {
    for (const auto& header : Headers)
        if (header.first == name.toLower())
            return true;
    return false;
}

namespace {

QList<QPair<QByteArray, QByteArray>> Pairs(const QJsonValue& value) {
    QList<QPair<QByteArray, QByteArray>> pairs;
    for (const QJsonValue& pair : value.toArray())
        pairs.append({Bytes(pair.toArray().at(0)), Bytes(pair.toArray().at(1))});
    return pairs;
}

QList<TStandInService::TLoggedRequest> ParseLog(const QByteArray& json) {
    QList<TStandInService::TLoggedRequest> log;
    for (const QJsonValue& item : QJsonDocument::fromJson(json).array()) {
        const QJsonObject o = item.toObject();
        TStandInService::TLoggedRequest entry;
        entry.Seq = static_cast<quint64>(o.value(QLatin1String("seq")).toDouble());
        entry.TimeMs = static_cast<qint64>(o.value(QLatin1String("time_ms")).toDouble());
        entry.Version = Bytes(o.value(QLatin1String("version")));
        entry.Query = Bytes(o.value(QLatin1String("query")));
        entry.Params = Pairs(o.value(QLatin1String("params")));
        entry.Headers = Pairs(o.value(QLatin1String("headers")));
        entry.User = Bytes(o.value(QLatin1String("user")));
        entry.Auth = Bytes(o.value(QLatin1String("auth")));
        entry.Cookie = Bytes(o.value(QLatin1String("cookie")));
        entry.SetCookie = Bytes(o.value(QLatin1String("set_cookie")));
        log.append(entry);
    }
    return log;
}

} // namespace

QList<TStandInService::TLoggedRequest> TStandInService::Log() {
    const std::optional<QByteArray> reply = Process->Call("GET", "/log");
    return reply ? ParseLog(*reply) : QList<TLoggedRequest>();
}

QList<TStandInService::TLoggedRequest> TStandInService::TakeLog() {
    const std::optional<QByteArray> reply = Process->Call("GET", "/log", {{"clear", "1"}});
    return reply ? ParseLog(*reply) : QList<TLoggedRequest>();
}

void TStandInService::ClearLog() {
    Process->Call("POST", "/log/clear");
}

bool TStandInService::WaitForLogSize(int count, int timeoutMs) {
    return WaitUntil([&] { return !IsRunning() || Log().size() >= count; }, timeoutMs) &&
           IsRunning();
}

void TStandInService::Reset() {
    ClearScript();
    ReleaseHangs();
    EndBroadcast();
    ClearLog();
}

TStandInService* TStandInServiceSuite::Service = nullptr;

void TStandInServiceSuite::SetUpTestSuite() {
    Service = new TStandInService;
}

void TStandInServiceSuite::TearDownTestSuite() {
    delete Service;
    Service = nullptr;
}

void TStandInServiceSuite::SetUp() {
    ASSERT_TRUE(Service->IsRunning());
    Service->Reset();
}
