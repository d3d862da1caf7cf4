#pragma once

#include <functional>

// Runs the UI thread's event loop until done() holds (looked at every millisecond) or
// timeoutMs have passed; whether done() held. UI thread.
bool RunEventsUntil(const std::function<bool()>& done, int timeoutMs);

// Runs the UI thread's event loop for ms milliseconds. UI thread.
void RunEventsFor(int ms);
