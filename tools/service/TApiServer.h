#pragma once

#include "ServiceText.h"
#include "TBroadcast.h"
#include "TReplyScript.h"
#include "TRequestLog.h"
#include "TServiceData.h"
#include "TStreamServer.h"

#include <httplib.h>

#include <chrono>
#include <mutex>
#include <set>
#include <string>

// The service API over HTTPS: GET /admin/api.php?cmd=... with HTTP Basic authentication.
// Handlers run on the server's pool threads; the state they share has its own locks.
class TApiServer {
public:
    TApiServer(const TServiceData& data, TBroadcast& broadcast, TStreamServer& streams,
               TRequestLog& log, TReplyScript& script, const std::string& certFile,
               const std::string& keyFile, std::chrono::steady_clock::time_point started);

    bool IsValid() { return Server.is_valid(); }
    // Main thread, before Listen: binds 127.0.0.1:port (0 picks a free one); the port, or -1.
    int Bind(int port);
    // Its own thread: serves until Stop.
    void Listen();
    void Stop();

    // The reply to a command of an authenticated user (user null: wrong credentials).
    std::string Answer(const TQueryItems& items, const TServiceUser* user);

private:
    void Handle(const httplib::Request& req, httplib::Response& res);
    // The session of the request's cookie, or a new one put in newSession.
    bool KnownSession(const std::string& cookieHeader, std::string& newSession);

    const TServiceData& Data;
    TBroadcast& Broadcast;
    TStreamServer& Streams;
    TRequestLog& Log;
    TReplyScript& Script;
    const std::chrono::steady_clock::time_point Started;
    httplib::SSLServer Server;

    std::mutex SessionLock;
    std::set<std::string> Sessions; // guarded by SessionLock
};
