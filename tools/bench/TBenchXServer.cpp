#include "tools/bench/TBenchXServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int StartTimeoutMs = 20000;

} // namespace

TBenchXServer::~TBenchXServer() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

bool TBenchXServer::Start() {
    if (const char* given = std::getenv("DISPLAY"); given != nullptr && *given != '\0') {
        display = QString::fromLocal8Bit(given);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        error = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const pid_t parent = getpid();
    pid = fork();
    if (pid == 0) {
        // Dies with the benchmark, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        std::fprintf(stderr, "kavrien-zap-bench: Xvfb cannot be started: %s\n",
                     std::strerror(errno));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        error = QStringLiteral("fork: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, StartTimeoutMs) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        error = QStringLiteral("Xvfb did not start (package xvfb); or set DISPLAY");
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
        return false;
    }
    display = QStringLiteral(":") + QString::fromStdString(number);
    setenv("DISPLAY", display.toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    return true;
}
