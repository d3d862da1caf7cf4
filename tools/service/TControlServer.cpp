#include "TControlServer.h"

#include "ServiceText.h"

#include <cstdlib>

namespace {

const char* const Json = "application/json";

void Fail(httplib::Response& res, const std::string& message) {
    res.status = 400;
    res.set_content("{\"error\":" + JsonString(message) + "}\n", Json);
}

bool IntParam(const httplib::Request& req, const char* name, int low, int high, int& value,
              std::string& error) {
    if (!req.has_param(name))
        return true;
    const std::string text = req.get_param_value(name);
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || number < low || number > high) {
        error = std::string(name) + " must be a number from " + std::to_string(low) + " to " +
                std::to_string(high);
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

} // namespace

const char* TControlServer::Help() {
    return R"(Control interface (plain HTTP on 127.0.0.1; parameters in the query string or as
an application/x-www-form-urlencoded body, and a POST needs a body or Content-Length: 0,
e.g. curl -d cid=12 -d lang=de http://127.0.0.1:C/broadcast; replies are JSON):
  POST /script          script the next reply(ies) of an API command:
                          command=<value of cmd, e.g. test, link; * for any>  (required)
                          reply=<body>        answer 200 with this body instead
                          status=<code>       answer with this HTTP status (standard reason
                                              phrase); with reply= as its body
                          redirect=<url>      answer with a redirect (status= or 302)
                          delay_ms=<ms>       wait before answering (at most 30000)
                          hang=1              wait until POST /release (at most 30 s)
                          count=<n>           answer this many requests (default 1)
                        with only delay_ms/hang the command's own reply follows the wait.
                        Scripted replies are used in the order given, ahead of the
                        credentials check; the request is logged on arrival either way.
  POST /script/clear    drop every scripted reply not used yet
  POST /release         let every hanging request go on       -> {"released":n}
  GET  /hanging         requests hanging now                  -> {"hanging":n}
  POST /broadcast       cid=<id>&lang=<code>: broadcast as another administrator would
                                                              -> broadcast state
  POST /broadcast/end   end the broadcast                     -> broadcast state
  GET  /broadcast       {"running":b,"generation":n,"cid":s,"lang":s,"url":s}
  GET  /log[?clear=1]   API requests in arrival order (clear=1 empties the log too):
                        [{"seq":n,"time_ms":n,"version":s,"query":s,
                          "params":[[name,value],...],"user":s,"auth":"none|bad|ok",
                          "cookie":s,"set_cookie":s,"headers":[[name,value],...]}]
                        query is exactly as it arrived; params decoded; header names
                        in lower case; strings carry bytes >= 0x80 as \u0080..\u00ff.
  POST /log/clear       empty the log
)";
}

TControlServer::TControlServer(const TServiceData& data, TBroadcast& broadcast,
                               TStreamServer& streams, TRequestLog& log, TReplyScript& script)
    : Data(data), Broadcast(broadcast), Streams(streams), Log(log), Script(script) {
    Server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Help(), "text/plain");
    });
    Server.Post("/script", [this](const httplib::Request& req, httplib::Response& res) {
        TScriptedReply reply;
        std::string error;
        reply.Command = req.get_param_value("command");
        if (reply.Command.empty())
            return Fail(res, "command is required");
        if (!IntParam(req, "count", 1, 1000000, reply.Count, error) ||
            !IntParam(req, "status", 100, 599, reply.Status, error) ||
            !IntParam(req, "delay_ms", 0, TReplyScript::MaxWaitMs, reply.DelayMs, error))
            return Fail(res, error);
        reply.Hang = req.get_param_value("hang") == "1";
        reply.HasBody = req.has_param("reply");
        reply.Body = req.get_param_value("reply");
        reply.Redirect = req.get_param_value("redirect");
        Script.Add(reply);
        res.set_content("{\"ok\":true}\n", Json);
    });
    Server.Post("/script/clear", [this](const httplib::Request&, httplib::Response& res) {
        Script.Clear();
        res.set_content("{\"ok\":true}\n", Json);
    });
    Server.Post("/release", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content("{\"released\":" + std::to_string(Script.ReleaseHangs()) + "}\n", Json);
    });
    Server.Get("/hanging", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content("{\"hanging\":" + std::to_string(Script.Hanging()) + "}\n", Json);
    });
    Server.Post("/broadcast", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string cid = req.get_param_value("cid");
        const std::string lang = req.get_param_value("lang");
        const TServiceChannel* channel = Data.FindChannel(cid);
        if (channel == nullptr)
            return Fail(res, "no channel " + cid);
        if (TServiceData::LanguageIndex(*channel, lang) < 0)
            return Fail(res, "channel " + cid + " has no language " + lang);
        res.set_content(BroadcastJson(Broadcast.Start(cid, lang)), Json);
    });
    Server.Post("/broadcast/end", [this](const httplib::Request&, httplib::Response& res) {
        Broadcast.Stop();
        res.set_content(BroadcastJson(Broadcast.Get()), Json);
    });
    Server.Get("/broadcast", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(BroadcastJson(Broadcast.Get()), Json);
    });
    Server.Get("/log", [this](const httplib::Request& req, httplib::Response& res) {
        res.set_content(Log.Json(req.get_param_value("clear") == "1"), Json);
    });
    Server.Post("/log/clear", [this](const httplib::Request&, httplib::Response& res) {
        Log.Clear();
        res.set_content("{\"ok\":true}\n", Json);
    });
}

int TControlServer::Bind(int port) {
    if (port == 0)
        return Server.bind_to_any_port("127.0.0.1");
    return Server.bind_to_port("127.0.0.1", port) ? port : -1;
}

void TControlServer::Listen() {
    Server.listen_after_bind();
}

void TControlServer::Stop() {
    Server.stop();
}

std::string TControlServer::BroadcastJson(const TBroadcastState& state) const {
    return std::string("{\"running\":") + (state.Running ? "true" : "false") +
           ",\"generation\":" + std::to_string(state.Generation) +
           ",\"cid\":" + JsonString(state.Cid) + ",\"lang\":" + JsonString(state.Lang) +
           ",\"url\":" + JsonString(state.Running ? Streams.BroadcastUrl(state) : "") + "}\n";
}
