#include "TBroadcast.h"

TBroadcast::TBroadcast(std::function<void(const TBroadcastState&)> changed)
    : Changed(std::move(changed)) {}

TBroadcastState TBroadcast::Get() {
    std::lock_guard<std::mutex> guard(Lock);
    return State;
}

TBroadcastState TBroadcast::Start(const std::string& cid, const std::string& lang) {
    TBroadcastState now;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (State.Running && State.Cid == cid && State.Lang == lang)
            return State;
        State.Running = true;
        ++State.Generation;
        State.Cid = cid;
        State.Lang = lang;
        now = State;
    }
    if (Changed)
        Changed(now);
    return now;
}

void TBroadcast::Stop() {
    TBroadcastState now;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (!State.Running)
            return;
        State.Running = false;
        State.Cid.clear();
        State.Lang.clear();
        now = State;
    }
    if (Changed)
        Changed(now);
}
