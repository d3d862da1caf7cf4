#pragma once

#include <QRect>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct xcb_connection_t;

// Watches a region of the X screen for a channel's picture, on a thread of its own with a
// connection of its own to the X server, so that a busy UI thread cannot delay what it
// sees. What it reads is what the server shows: the root window's pixels along eight rows
// across the region, fetched in one round trip about every millisecond and reduced to the
// mean colours of sixteen pieces per row (a coarse picture).
//
// The pictures the region can show (black, the empty video area with its logo, each
// channel) are learned first (Capture); a fetch shows a picture when that one is clearly
// the nearest of them. So the previous channel's last picture, the logo or a black window
// never pass for the new channel, though all channels share most of their picture.
class TFrameWatcher {
public:
    using TClock = std::chrono::steady_clock;

    struct TPicture {
        QString Name;
        std::vector<float> Features;             // mean red, green, blue per piece, 0 to 255
        std::vector<std::vector<float>> Fetches; // the captured fetches that make the mean
        double Noise = 0; // mean distance of a fetch to the mean (set by SetReferences)
        bool IsValid() const { return !Features.empty(); }
    };
    // Root-mean-square difference per colour value, each value weighted (no weights: all
    // alike).
    static double Distance(const std::vector<float>& a, const std::vector<float>& b,
                           const std::vector<double>& weights = {});
    static TPicture Black();

    TFrameWatcher() = default;
    ~TFrameWatcher();
    TFrameWatcher(const TFrameWatcher&) = delete;
    TFrameWatcher& operator=(const TFrameWatcher&) = delete;

    // Connects to $DISPLAY and starts the thread. False, with Error() saying why.
    bool Open();
    QString Error() const { return error; }

    // The region in the root window's pixels; samples are taken only while it is not empty.
    void SetRegion(const QRect& region);

    // The mean coarse picture of the region over sampleMs; invalid when nothing could be
    // fetched. UI thread.
    TPicture Capture(const QString& name, int sampleMs);

    // Every picture the region may show while armed. Values that move in any of them (a
    // clock, moving shapes) count less in the distances from then on.
    void SetReferences(const std::vector<TPicture>& pictures);
    // The references with their noise, and their distance as the watcher judges it.
    std::vector<TPicture> References() const;
    double Distance(const TPicture& a, const TPicture& b) const;
    // The reference nearest to the region's picture now, or -1. UI thread.
    int NearestNow();

    // Starts looking for the reference; Seen() turns true once it shows.
    void Arm(int reference);
    void Disarm();
    // The time the first fetch showing it returned, and the time the fetch before it was
    // sent (the picture appeared in between).
    bool Seen(TClock::time_point* at, TClock::time_point* notBefore) const;
    // Mean time from one fetch to the next while armed, over all arms so far.
    double MeanSamplePeriodMs() const;

private:
    void Run();
    // One round trip: the coarse picture of the region. Thread: the caller holds
    // connectionLock.
    bool Fetch(const QRect& region, std::vector<float>& features);
    // The nearest reference and whether it is clearly the nearest. Caller holds lock.
    int Nearest(const std::vector<float>& features, bool* clearly) const;

    QString error;
    xcb_connection_t* connection = nullptr; // used under connectionLock only
    std::uint32_t root = 0;
    int rootWidth = 0;
    int rootHeight = 0;
    std::mutex connectionLock;

    // Guarded by lock: shared between the UI thread and the watching thread.
    mutable std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    bool armed = false;
    QRect region;
    std::vector<TPicture> references;
    std::vector<double> weights;
    int target = -1;
    bool seen = false;
    TClock::time_point seenAt;
    TClock::time_point seenNotBefore;
    TClock::time_point lastSend;
    bool haveLastSend = false;
    std::int64_t sampleCount = 0;
    TClock::duration sampledTime{};

    std::thread thread;
};
