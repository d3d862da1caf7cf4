#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// Starts a program as a new process and tells whether it started. The program is the first
// item of the command line (items are separated by blanks; double quotes group an item
// that holds blanks). The new process gets this process's environment and current folder,
// none of its open files or sockets, and a session of its own. The show command is the
// desktop's business on X11 and is not used. With returnAtOnce false this waits, without
// a time limit, until the program ends.
bool LaunchProgram(const QString& commandLine, quint16 showCommand, bool returnAtOnce);

// Starts a fresh copy of this program after a short pause (100 ms), without arguments and
// without waiting for it. Nothing of the signed-in session (user name, password) is
// passed: the new copy signs in anew. A failed start is not reported.
void RelaunchSelf();

// Hands a web address, a mail address ("mailto:...") or a file to the desktop's default
// program. The result is ignored: a target that nothing opens has no visible effect.
void OpenDocument(const QString& target);

// Tests put their own opener here. Returns the previous one; an empty opener restores the
// desktop's.
using TDocumentOpener = std::function<void(const QString& target)>;
TDocumentOpener SetDocumentOpener(TDocumentOpener opener);
