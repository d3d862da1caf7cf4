#pragma once

#include <QProcess>
#include <QRect>

// A real tray host (trayer, a small X tray from Debian) on the test's X server, along the
// top edge. Stopped by the destructor.
class TTrayHost {
public:
    TTrayHost() = default;
    ~TTrayHost();
    TTrayHost(const TTrayHost&) = delete;
    TTrayHost& operator=(const TTrayHost&) = delete;

    // Starts it and waits until it owns the tray; fails the test (with what is missing)
    // otherwise. Use with ASSERT_NO_FATAL_FAILURE.
    void Start();
    void Stop();
    bool IsRunning() const { return process.state() != QProcess::NotRunning; }

    // Whether a tray host owns the tray of the display now (asked of the X server).
    static bool Available();

private:
    QProcess process;
};
