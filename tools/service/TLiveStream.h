#pragma once

#include "TChildProcess.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One endless MPEG-TS stream at real-time rate: the output of an ffmpeg child, fanned out
// to every connected client. A client that joins late starts at once with the last PAT and
// PMT and the packets since the last video key frame, then follows live.
class TLiveStream {
public:
    struct TClient;

    TLiveStream(std::string name, std::vector<std::string> ffmpegArgs);
    ~TLiveStream(); // End()
    TLiveStream(const TLiveStream&) = delete;
    TLiveStream& operator=(const TLiveStream&) = delete;

    // Starts the child and its reader thread.
    bool Start(std::string& error);
    // Any thread: whether the stream has ended (child gone or End called).
    bool Ended();

    // Any thread (a connection of the stream server).
    std::shared_ptr<TClient> Join();
    void Leave(const std::shared_ptr<TClient>& client);
    // Waits at most timeoutMs for data for the client and moves it into data (empty when
    // none came). False once the stream has ended or the client fell too far behind.
    bool Next(TClient& client, std::string& data, int timeoutMs);

    // Any thread but the reader: ends the child and every client's stream.
    void End();

private:
    void ReadLoop(); // the reader thread
    void HandlePacket(const unsigned char* packet, bool& keyFrame);
    void ParsePat(const unsigned char* packet);
    void ParsePmt(const unsigned char* packet);

    const std::string Name;
    const std::vector<std::string> Args;
    TChildProcess Child; // started once; then only End touches it
    std::thread Reader;
    std::mutex EndLock; // makes End run once at a time

    std::mutex Lock;
    std::condition_variable DataReady;
    // The fields below are guarded by Lock.
    bool Finished = false;
    std::vector<std::shared_ptr<TClient>> Clients;
    std::string LastPat, LastPmt;
    std::string Gop; // the packets since the last video key frame
    bool HaveKeyFrame = false;
    int PmtPid = -1;
    int VideoPid = -1;
};
