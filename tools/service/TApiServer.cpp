#include "TApiServer.h"

#include <openssl/rand.h>

#include <cctype>
#include <cstdio>

namespace {

const char* const SessionCookie = "KAVSESSION";

// The cookie's value in a Cookie header, empty when it is not there.
std::string CookieValue(const std::string& header, const std::string& name) {
    std::size_t pos = 0;
    while (pos < header.size()) {
        while (pos < header.size() && (header[pos] == ' ' || header[pos] == ';'))
            ++pos;
        std::size_t end = header.find(';', pos);
        if (end == std::string::npos)
            end = header.size();
        const std::string item = header.substr(pos, end - pos);
        if (item.compare(0, name.size() + 1, name + "=") == 0)
            return item.substr(name.size() + 1);
        pos = end;
    }
    return {};
}

std::string NewSessionId() {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return {};
    std::string id;
    char hex[3];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        id += hex;
    }
    return id;
}

} // namespace

TApiServer::TApiServer(const TServiceData& data, TBroadcast& broadcast, TStreamServer& streams,
                       TRequestLog& log, TReplyScript& script, const std::string& certFile,
                       const std::string& keyFile, std::chrono::steady_clock::time_point started)
    : Data(data), Broadcast(broadcast), Streams(streams), Log(log), Script(script),
      Started(started), Server(certFile.c_str(), keyFile.c_str()) {
    // Hanging and delayed requests each hold a pool thread.
    Server.new_task_queue = [] {
        return new httplib::ThreadPool(32);
    };
    Server.set_keep_alive_max_count(1000);
    Server.Get("/admin/api.php",
               [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); });
}

int TApiServer::Bind(int port) {
    if (port == 0)
        return Server.bind_to_any_port("127.0.0.1");
    return Server.bind_to_port("127.0.0.1", port) ? port : -1;
}

void TApiServer::Listen() {
    Server.listen_after_bind();
}

void TApiServer::Stop() {
    Server.stop();
}

bool TApiServer::KnownSession(const std::string& cookieHeader, std::string& newSession) {
    const std::string value = CookieValue(cookieHeader, SessionCookie);
    std::lock_guard<std::mutex> guard(SessionLock);
    if (!value.empty() && Sessions.count(value) != 0)
        return true;
    newSession = NewSessionId();
    Sessions.insert(newSession);
    return false;
}

void TApiServer::Handle(const httplib::Request& req, httplib::Response& res) {
    TLoggedRequest entry;
    entry.TimeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - Started)
                       .count();
    const std::size_t question = req.target.find('?');
    entry.Query = question == std::string::npos ? std::string() : req.target.substr(question + 1);
    entry.Items = ParseQuery(entry.Query);
    entry.Cookie = req.get_header_value("Cookie");
    entry.Version = req.version;
    for (const auto& [name, value] : req.headers) {
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        // Set by the server itself, not sent by the client.
        if (lower != "remote_addr" && lower != "remote_port" && lower != "local_addr" &&
            lower != "local_port")
            entry.Headers.emplace_back(lower, value);
    }

    // Credentials: none at all is refused by HTTP; wrong ones get the service's own answers.
    const std::string authorization = req.get_header_value("Authorization");
    const TServiceUser* user = nullptr;
    entry.Auth = "none";
    if (authorization.compare(0, 6, "Basic ") == 0) {
        std::string decoded;
        entry.Auth = "bad";
        if (Base64Decode(authorization.substr(6), decoded)) {
            const std::size_t colon = decoded.find(':');
            entry.User = decoded.substr(0, colon);
            const TServiceUser* known = Data.FindUser(entry.User);
            if (colon != std::string::npos && known != nullptr &&
                known->Password == decoded.substr(colon + 1)) {
                user = known;
                entry.Auth = "ok";
            }
        }
    }
    std::string newSession;
    if (!KnownSession(entry.Cookie, newSession) && !newSession.empty()) {
        entry.SetCookie = std::string(SessionCookie) + "=" + newSession;
        res.set_header("Set-Cookie", entry.SetCookie + "; Path=/; Secure; HttpOnly");
    }
    const std::string* command = QueryValue(entry.Items, "cmd");
    const std::string commandName = command ? *command : std::string();
    const std::string authState = entry.Auth;
    const TQueryItems items = entry.Items;
    Log.Add(std::move(entry));

    if (std::optional<TScriptedReply> scripted = Script.Take(commandName)) {
        Script.Wait(*scripted);
        if (!scripted->Redirect.empty()) {
            res.status = scripted->Status != 0 ? scripted->Status : 302;
            res.set_header("Location", scripted->Redirect);
            res.set_content(scripted->HasBody ? scripted->Body : "Moved\n", "text/html");
            return;
        }
        if (!scripted->OnlyWaits()) {
            res.status = scripted->Status != 0 ? scripted->Status : 200;
            res.set_content(scripted->HasBody ? scripted->Body : std::to_string(res.status) + "\n",
                            "text/html");
            return;
        }
    }
    if (authState == "none") {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"Kavrien\"");
        res.set_content("401 Unauthorized\n", "text/html");
        return;
    }
    res.set_content(Answer(items, user), "text/html");
}

std::string TApiServer::Answer(const TQueryItems& items, const TServiceUser* user) {
    const std::string* command = QueryValue(items, "cmd");
    if (command == nullptr)
        return "NPA";
    // A word that is no reply code: the client asks for the credentials again.
    if (*command == "test")
        return user != nullptr ? "OK" : "DENIED";
    if (user == nullptr)
        return "ACC";
    if (*command == "getperms")
        return user->IsAdmin ? "admin" : "user";
    if (*command == "listnew") {
        std::string list;
        for (const TServiceChannel& channel : Data.Channels())
            list += channel.Id + ";" + channel.Name + ";" + channel.Languages + ";";
        return list;
    }
    if (*command == "link") {
        const std::string* cid = QueryValue(items, "cid");
        if (cid == nullptr || cid->empty())
            return "NPA";
        if (Data.FindChannel(*cid) == nullptr)
            return "ERR";
        return Streams.SourceUrl(*cid);
    }
    if (*command == "startbdc") {
        if (!user->IsAdmin)
            return "ACC";
        const std::string* cid = QueryValue(items, "cid");
        const std::string* lang = QueryValue(items, "lang");
        if (cid == nullptr || cid->empty() || lang == nullptr || lang->empty())
            return "NPA";
        const TServiceChannel* channel = Data.FindChannel(*cid);
        if (channel == nullptr || TServiceData::LanguageIndex(*channel, *lang) < 0)
            return "ERR";
        return Streams.BroadcastUrl(Broadcast.Start(*cid, *lang));
    }
    if (*command == "stopbdc") {
        if (!user->IsAdmin)
            return "ACC";
        Broadcast.Stop();
        return "stopped";
    }
    if (*command == "bdcstatus") {
        const TBroadcastState state = Broadcast.Get();
        if (!state.Running)
            return "0;";
        return "1;" + state.Cid + ";" + state.Lang + ";" + Streams.BroadcastUrl(state);
    }
    return "UC";
}
