#pragma once

#include "TBroadcast.h"
#include "TLiveStream.h"
#include "TServiceData.h"

#include <httplib.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// The live streams over plain HTTP: /live/<cid>.ts is a channel's source stream with all
// its audio tracks, /broadcast/<generation>.ts the broadcast on air (video and the chosen
// language's audio only). Each stream's ffmpeg starts with its first client and runs until
// the service stops (a broadcast's until the broadcast changes).
class TStreamServer {
public:
    TStreamServer(const TServiceData& data, TBroadcast& broadcast, std::string contentFolder);
    ~TStreamServer();

    // Main thread, before Listen: binds 127.0.0.1:port (0 picks a free one); the port,
    // or -1.
    int Bind(int port);
    // Its own thread: serves until Stop.
    void Listen();
    // Any thread: ends every stream and the server.
    void Stop();

    std::string SourceUrl(const std::string& cid) const;
    std::string BroadcastUrl(const TBroadcastState& state) const;
    // Any thread, after the broadcast changed: ends the streams of broadcasts gone off air.
    void BroadcastChanged();

    // The content file of a channel: <content>/<cid>.ts, the cid percent-encoded.
    std::string ContentFile(const std::string& cid) const;

private:
    void ServeStream(const std::shared_ptr<TLiveStream>& stream, httplib::Response& res);
    std::shared_ptr<TLiveStream> SourceStream(const TServiceChannel& channel, std::string& error);
    std::shared_ptr<TLiveStream> BroadcastStream(const TBroadcastState& state, std::string& error);
    std::shared_ptr<TLiveStream> StartStream(const std::string& name, const std::string& cid,
                                             const std::vector<std::string>& maps,
                                             std::string& error);

    const TServiceData& Data;
    TBroadcast& Broadcast;
    const std::string ContentFolder;
    int Port = 0; // set by Bind before any other thread runs
    httplib::Server Server;

    std::mutex Lock;
    // Guarded by Lock.
    bool Stopping = false;
    std::map<std::string, std::shared_ptr<TLiveStream>> Sources;
    std::map<std::uint64_t, std::shared_ptr<TLiveStream>> Broadcasts;
};
