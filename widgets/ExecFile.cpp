#include "widgets/ExecFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// Runs on the UI thread when the caller waits, else on the thread of its own that a detached
// start leaves behind.
void WaitForEnd(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
    }
}

// posix_spawn rather than QProcess: Qt 6.4 cannot start a detached process without
// handing it every descriptor that lacks close-on-exec (sockets of the service
// connection, for one).
bool StartProcess(const QStringList& items, bool returnAtOnce) {
    if (items.isEmpty() || items.first().isEmpty())
        return false;
    std::vector<QByteArray> encoded;
    encoded.reserve(items.size());
    for (const QString& item : items)
        encoded.push_back(QFile::encodeName(item));
    std::vector<char*> argv;
    for (QByteArray& item : encoded)
        argv.push_back(item.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Signals start at their defaults and unblocked, whatever this process set for itself;
    // the new session keeps it out of the terminal's signals.
    sigset_t all;
    sigfillset(&all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);

    pid_t pid = 0;
    const int failure = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0)
        return false;

    if (returnAtOnce) {
        // Runs on a thread of its own until the program ends, only to collect its exit
        // status so that it leaves no zombie; it shares nothing with the rest.
        std::thread(WaitForEnd, pid).detach();
    } else {
        WaitForEnd(pid);
    }
    return true;
}

void OpenWithDesktop(const QString& target) {
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

TDocumentOpener& CurrentOpener() {
    static TDocumentOpener opener = OpenWithDesktop;
    return opener;
}

} // namespace

bool LaunchProgram(const QString& commandLine, quint16 showCommand, bool returnAtOnce) {
    Q_UNUSED(showCommand);
    return StartProcess(QProcess::splitCommand(commandLine), returnAtOnce);
}

void RelaunchSelf() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The path goes in as the program itself, not through a command line, so that no
    // character of it needs quoting.
    StartProcess({QCoreApplication::applicationFilePath()}, true);
}

void OpenDocument(const QString& target) {
    CurrentOpener()(target);
}

TDocumentOpener SetDocumentOpener(TDocumentOpener opener) {
    TDocumentOpener previous = CurrentOpener();
    CurrentOpener() = opener ? std::move(opener) : TDocumentOpener(OpenWithDesktop);
    return previous;
}
