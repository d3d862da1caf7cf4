#include "TStreamServer.h"

#include "ServiceText.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

// How long a connection waits for data before it checks whether its client is still there.
constexpr int PollMs = 500;

} // namespace

TStreamServer::TStreamServer(const TServiceData& data, TBroadcast& broadcast,
                             std::string contentFolder)
    : Data(data), Broadcast(broadcast), ContentFolder(std::move(contentFolder)) {
    // Every client holds a connection (and a pool thread) for as long as it watches.
    Server.new_task_queue = [] {
        return new httplib::ThreadPool(64);
    };
    Server.set_write_timeout(30, 0);
    Server.set_keep_alive_max_count(1000);

    Server.Get(R"(/live/([^/]+)\.ts)", [this](const httplib::Request& req, httplib::Response& res) {
        const TServiceChannel* channel = Data.FindChannel(req.matches[1]);
        if (channel == nullptr) {
            res.status = 404;
            res.set_content("no such channel\n", "text/plain");
            return;
        }
        std::string error;
        const std::shared_ptr<TLiveStream> stream = SourceStream(*channel, error);
        if (!stream) {
            res.status = 503;
            res.set_content(error + "\n", "text/plain");
            return;
        }
        ServeStream(stream, res);
    });
    Server.Get(R"(/broadcast/(\d+)\.ts)",
               [this](const httplib::Request& req, httplib::Response& res) {
                   const TBroadcastState state = Broadcast.Get();
                   if (!state.Running || std::to_string(state.Generation) != req.matches[1].str()) {
                       res.status = 404;
                       res.set_content("this broadcast is not on air\n", "text/plain");
                       return;
                   }
                   std::string error;
                   const std::shared_ptr<TLiveStream> stream = BroadcastStream(state, error);
                   if (!stream) {
                       res.status = 503;
                       res.set_content(error + "\n", "text/plain");
                       return;
                   }
                   ServeStream(stream, res);
               });
}

TStreamServer::~TStreamServer() {
    Stop();
}

int TStreamServer::Bind(int port) {
    if (port == 0)
        Port = Server.bind_to_any_port("127.0.0.1");
    else
        Port = Server.bind_to_port("127.0.0.1", port) ? port : -1;
    return Port;
}

void TStreamServer::Listen() {
    Server.listen_after_bind();
}

void TStreamServer::Stop() {
    std::map<std::string, std::shared_ptr<TLiveStream>> sources;
    std::map<std::uint64_t, std::shared_ptr<TLiveStream>> broadcasts;
    {
        std::lock_guard<std::mutex> guard(Lock);
        Stopping = true;
        sources.swap(Sources);
        broadcasts.swap(Broadcasts);
    }
    for (auto& [cid, stream] : sources)
        stream->End();
    for (auto& [generation, stream] : broadcasts)
        stream->End();
    Server.stop();
}

std::string TStreamServer::SourceUrl(const std::string& cid) const {
    return "http://127.0.0.1:" + std::to_string(Port) + "/live/" + PathEncode(cid) + ".ts";
}

std::string TStreamServer::BroadcastUrl(const TBroadcastState& state) const {
    return "http://127.0.0.1:" + std::to_string(Port) + "/broadcast/" +
           std::to_string(state.Generation) + ".ts";
}

std::string TStreamServer::ContentFile(const std::string& cid) const {
    return ContentFolder + "/" + PathEncode(cid) + ".ts";
}

void TStreamServer::BroadcastChanged() {
    const TBroadcastState state = Broadcast.Get();
    std::vector<std::shared_ptr<TLiveStream>> gone;
    {
        std::lock_guard<std::mutex> guard(Lock);
        for (auto it = Broadcasts.begin(); it != Broadcasts.end();) {
            if (!state.Running || it->first != state.Generation) {
                gone.push_back(it->second);
                it = Broadcasts.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& stream : gone)
        stream->End();
}

void TStreamServer::ServeStream(const std::shared_ptr<TLiveStream>& stream,
                                httplib::Response& res) {
    const std::shared_ptr<TLiveStream::TClient> client = stream->Join();
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "video/mp2t",
        // A pool thread of this server, for as long as the client watches.
        [stream, client](std::size_t, httplib::DataSink& sink) {
            std::string data;
            if (!stream->Next(*client, data, PollMs)) {
                sink.done();
                return true;
            }
            if (data.empty())
                return sink.is_writable();
            return sink.write(data.data(), data.size());
        },
        [stream, client](bool) { stream->Leave(client); });
}

std::shared_ptr<TLiveStream> TStreamServer::SourceStream(const TServiceChannel& channel,
                                                         std::string& error) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        auto it = Sources.find(channel.Id);
        if (it != Sources.end() && !it->second->Ended())
            return it->second;
    }
    auto stream = StartStream("live/" + channel.Id, channel.Id, {"0:v:0", "0:a"}, error);
    if (!stream)
        return nullptr;
    std::lock_guard<std::mutex> guard(Lock);
    if (Stopping) {
        error = "the service is stopping";
        return nullptr;
    }
    // Two first clients at once: the one that came second uses the first one's stream.
    auto it = Sources.find(channel.Id);
    if (it != Sources.end() && !it->second->Ended())
        return it->second;
    Sources[channel.Id] = stream;
    return stream;
}

std::shared_ptr<TLiveStream> TStreamServer::BroadcastStream(const TBroadcastState& state,
                                                            std::string& error) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        auto it = Broadcasts.find(state.Generation);
        if (it != Broadcasts.end() && !it->second->Ended())
            return it->second;
    }
    const TServiceChannel* channel = Data.FindChannel(state.Cid);
    const int track = channel ? TServiceData::LanguageIndex(*channel, state.Lang) : -1;
    if (track < 0) {
        error = "the broadcast's channel or language is unknown";
        return nullptr;
    }
    auto stream = StartStream("broadcast/" + std::to_string(state.Generation), state.Cid,
                              {"0:v:0", "0:a:" + std::to_string(track)}, error);
    if (!stream)
        return nullptr;
    std::lock_guard<std::mutex> guard(Lock);
    if (Stopping) {
        error = "the service is stopping";
        return nullptr;
    }
    // The broadcast may have changed while ffmpeg started.
    const TBroadcastState now = Broadcast.Get();
    if (!now.Running || now.Generation != state.Generation) {
        error = "this broadcast is not on air";
        return nullptr;
    }
    auto it = Broadcasts.find(state.Generation);
    if (it != Broadcasts.end() && !it->second->Ended())
        return it->second;
    Broadcasts[state.Generation] = stream;
    return stream;
}

std::shared_ptr<TLiveStream> TStreamServer::StartStream(const std::string& name,
                                                        const std::string& cid,
                                                        const std::vector<std::string>& maps,
                                                        std::string& error) {
    const std::string file = ContentFile(cid);
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        error = file + " is missing (scripts/make-demo-content makes it)";
        std::fprintf(stderr, "kavrien-service: %s\n", error.c_str());
        return nullptr;
    }
    std::vector<std::string> args = {"ffmpeg", "-nostdin",     "-hide_banner", "-loglevel", "error",
                                     "-re",    "-stream_loop", "-1",           "-i",        file};
    for (const std::string& map : maps) {
        args.push_back("-map");
        args.push_back(map);
    }
    // Stream copy only: the content is made for looping (whole key frame intervals).
    for (const char* arg : {"-c", "copy", "-f", "mpegts", "-flush_packets", "1", "pipe:1"})
        args.emplace_back(arg);
    auto stream = std::make_shared<TLiveStream>(name, args);
    if (!stream->Start(error)) {
        std::fprintf(stderr, "kavrien-service: %s: %s\n", name.c_str(), error.c_str());
        return nullptr;
    }
    return stream;
}
