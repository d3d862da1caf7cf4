#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

struct TBroadcastState {
    bool Running = false;
    // Counts the broadcasts since the service started; part of the broadcast's URL, so
    // that every new broadcast has a URL of its own.
    std::uint64_t Generation = 0;
    std::string Cid;
    std::string Lang;
};

// The one broadcast of the service, shared by all users. Any thread; guarded by its own
// lock. The change listener runs on the thread that made the change, outside the lock.
class TBroadcast {
public:
    explicit TBroadcast(std::function<void(const TBroadcastState&)> changed);

    TBroadcastState Get();
    // A new broadcast, unless this channel and language are already on air.
    TBroadcastState Start(const std::string& cid, const std::string& lang);
    void Stop();

private:
    std::function<void(const TBroadcastState&)> Changed;
    std::mutex Lock;
    TBroadcastState State; // guarded by Lock
};
