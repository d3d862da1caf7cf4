#include "TReplyScript.h"

#include <algorithm>
#include <chrono>

void TReplyScript::Add(TScriptedReply reply) {
    if (reply.Count < 1)
        return;
    std::lock_guard<std::mutex> guard(Lock);
    Replies.push_back(std::move(reply));
}

void TReplyScript::Clear() {
    std::lock_guard<std::mutex> guard(Lock);
    Replies.clear();
}

std::optional<TScriptedReply> TReplyScript::Take(const std::string& command) {
    std::lock_guard<std::mutex> guard(Lock);
    for (auto it = Replies.begin(); it != Replies.end(); ++it) {
        if (it->Command != command && it->Command != "*")
            continue;
        TScriptedReply taken = *it;
        if (--it->Count <= 0)
            Replies.erase(it);
        return taken;
    }
    return std::nullopt;
}

void TReplyScript::Wait(const TScriptedReply& reply) {
    std::unique_lock<std::mutex> lock(Lock);
    if (reply.DelayMs > 0) {
        const auto delay = std::chrono::milliseconds(std::min(reply.DelayMs, MaxWaitMs));
        Changed.wait_for(lock, delay, [this] { return Stopping; });
    }
    if (reply.Hang) {
        const std::uint64_t released = ReleaseCount;
        ++HangingNow;
        Changed.wait_for(lock, std::chrono::milliseconds(MaxWaitMs),
                         [&] { return Stopping || ReleaseCount != released; });
        --HangingNow;
    }
}

int TReplyScript::ReleaseHangs() {
    int released;
    {
        std::lock_guard<std::mutex> guard(Lock);
        released = HangingNow;
        ++ReleaseCount;
    }
    Changed.notify_all();
    return released;
}

int TReplyScript::Hanging() {
    std::lock_guard<std::mutex> guard(Lock);
    return HangingNow;
}

void TReplyScript::Stop() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Stopping = true;
    }
    Changed.notify_all();
}
