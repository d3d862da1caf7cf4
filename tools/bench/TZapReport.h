#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <limits>
#include <vector>

// One channel switch: milliseconds from its start (the client's watch action, or the first
// library call of a direct play) to each step; NaN for a step that does not apply.
struct TZapTimes {
    static constexpr double None = std::numeric_limits<double>::quiet_NaN();
    QByteArray Cid;
    double TeardownMs = None; // direct: freeing the previous player and instance, before start
    double ReplyMs = None;    // client: the start reply reached the window
    double StoppedMs = None;  // client: the old stream stopped (none at the first)
    double FreedMs = None;    // client: the old player control freed (none at the first)
    double PlayerMs = None;   // client: the new player control created
    double InstanceMs = None; // direct: the new library instance made
    double MediaMs = None;    // the new item set on the new media player
    double VoutMs = None;     // the library made its video output
    double FrameMs = None;    // the new channel's picture seen on the screen
    double FrameNotBeforeMs = None; // the fetch before that one was sent
    QString Error;                  // why the switch failed; the others are then partial
    QString Remark;                 // something to know about a switch that counts
};

// The figures of a run: per switch and summed up as median and 90th percentile.
class TZapReport {
public:
    std::vector<TZapTimes> Client;
    std::vector<TZapTimes> Direct;
    std::vector<TZapTimes> OneInstance; // empty unless measured
    QStringList Notes;                  // printed under the figures

    void Print() const;

    // Linear interpolation between the closest ranks (p from 0 to 1); NaN when empty.
    static double Percentile(std::vector<double> values, double p);
};
