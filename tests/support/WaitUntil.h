#pragma once

#include <functional>

// Runs the UI thread's event loop until the condition holds or the time is up; true
// when the condition holds.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// Runs the event loop for the given time.
void ProcessEventsFor(int ms);
