#pragma once

#include "TBroadcast.h"
#include "TReplyScript.h"
#include "TRequestLog.h"
#include "TServiceData.h"
#include "TStreamServer.h"

#include <httplib.h>

#include <string>

// The control interface for tests and the demo, plain HTTP on 127.0.0.1. Handlers run on
// the server's pool threads.
class TControlServer {
public:
    TControlServer(const TServiceData& data, TBroadcast& broadcast, TStreamServer& streams,
                   TRequestLog& log, TReplyScript& script);

    // Main thread, before Listen: binds 127.0.0.1:port (0 picks a free one); the port, or -1.
    int Bind(int port);
    // Its own thread: serves until Stop.
    void Listen();
    void Stop();

    // The description of the routes, also part of --help.
    static const char* Help();

private:
    std::string BroadcastJson(const TBroadcastState& state) const;

    const TServiceData& Data;
    TBroadcast& Broadcast;
    TStreamServer& Streams;
    TRequestLog& Log;
    TReplyScript& Script;
    httplib::Server Server;
};
