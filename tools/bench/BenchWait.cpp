#include "tools/bench/BenchWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done())
        return true;
    // The loop sleeps between events; the timer only wakes it to look at the condition, so
    // that events reach the window as soon as they are queued.
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    bool result = false;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done()) {
            result = true;
            loop.quit();
        } else if (elapsed.elapsed() >= timeoutMs) {
            loop.quit();
        }
    });
    tick.start();
    loop.exec();
    return result;
}

void RunEventsFor(int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    RunEventsUntil([&] { return elapsed.elapsed() >= ms; }, ms + 1000);
}
