#pragma once

// Ends the process at once with the code, without clean-up: no destructors, no flushing
// of the toolkit. Everything that must survive (settings) is written when it changes.
[[noreturn]] void EndProcessNow(int exitCode);

// Tests replace how the process ends (for example to report what was shown before it
// ends). A handler must not return; if it does, the process ends anyway.
using TProcessExitHandler = void (*)(int exitCode);
void SetProcessExitHandler(TProcessExitHandler handler);
