#pragma once

#include "ServiceText.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct TLoggedRequest {
    std::uint64_t Seq = 0;   // arrival order, from 1 for the service's whole run
    std::int64_t TimeMs = 0; // arrival, milliseconds since the service started
    std::string Version;     // "HTTP/1.1"
    std::string Query;       // everything after "?", exactly as it arrived
    TQueryItems Items;       // the same taken apart and decoded, in order
    std::string User;        // from Basic authentication, empty without
    std::string Auth;        // "none" (no credentials), "bad" or "ok"
    std::string Cookie;      // the Cookie header as sent, empty without
    std::string SetCookie;   // the session cookie this reply set, empty if none
    TQueryItems Headers;     // the request's headers, names in lower case
};

// The API requests received, in arrival order. Any thread; guarded by its own lock.
class TRequestLog {
public:
    void Add(TLoggedRequest entry);
    // The entries as a JSON array; clear empties the log in the same step.
    std::string Json(bool clear);
    void Clear();

private:
    std::mutex Lock;
    std::uint64_t NextSeq = 1;           // guarded by Lock
    std::vector<TLoggedRequest> Entries; // guarded by Lock
};
