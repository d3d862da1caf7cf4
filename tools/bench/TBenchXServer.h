#pragma once

#include <QString>

#include <sys/types.h>

// The X server the benchmark measures on: the display of $DISPLAY when one is set, else an
// Xvfb of the benchmark's own (1280x1024, 24 bits), which dies with the benchmark.
class TBenchXServer {
public:
    TBenchXServer() = default;
    ~TBenchXServer();
    TBenchXServer(const TBenchXServer&) = delete;
    TBenchXServer& operator=(const TBenchXServer&) = delete;

    // Sets $DISPLAY (and the xcb platform for Qt). False, with Error() saying why, when no
    // server can be had.
    bool Start();
    QString Display() const { return display; }
    bool IsOwn() const { return pid > 0; }
    QString Error() const { return error; }

private:
    pid_t pid = -1;
    QString display;
    QString error;
};
