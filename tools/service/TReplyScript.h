#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

// One scripted answer to an API command, set through the control interface.
struct TScriptedReply {
    std::string Command;  // the value of "cmd" it answers, "*" for any
    int Count = 1;        // how many requests it answers
    int DelayMs = 0;      // wait this long before answering
    bool Hang = false;    // wait until released before answering
    int Status = 0;       // an HTTP status to answer with, 0 for 200
    bool HasBody = false; // Body replaces the command's own reply
    std::string Body;
    std::string Redirect; // answer with a redirect to this URL (Status or 302)

    // Neither status nor body nor redirect: only the wait, then the command's own reply.
    bool OnlyWaits() const { return Status == 0 && !HasBody && Redirect.empty(); }
};

// The scripted replies waiting for their requests, first in first out per command, and
// the waits they ask for. Any thread; guarded by its own lock. Every wait ends by itself
// after MaxWaitMs.
class TReplyScript {
public:
    static constexpr int MaxWaitMs = 30000;

    void Add(TScriptedReply reply);
    void Clear();
    // The oldest scripted reply for the command (or for "*"), counted down by one.
    std::optional<TScriptedReply> Take(const std::string& command);
    // Runs on the thread of the request: the delay, or the hang until ReleaseHangs, each
    // ended early by Stop.
    void Wait(const TScriptedReply& reply);
    // Lets every request that hangs now go on; the number of them.
    int ReleaseHangs();
    // Requests that hang at the moment.
    int Hanging();
    // Ends every wait now and every later one at once (the service stops).
    void Stop();

private:
    std::mutex Lock;
    std::condition_variable Changed;    // Release, Stop
    std::deque<TScriptedReply> Replies; // guarded by Lock
    std::uint64_t ReleaseCount = 0;     // guarded by Lock
    int HangingNow = 0;                 // guarded by Lock
    bool Stopping = false;              // guarded by Lock
};
