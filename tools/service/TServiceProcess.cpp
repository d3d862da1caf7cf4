#include "tools/service/TServiceProcess.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QString ErrnoText(const char* call) {
    return QStringLiteral("%1: %2").arg(QLatin1String(call),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// Reads from the descriptor until a line is complete or the time is up.
std::string ReadLine(int fd, int timeoutMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[512];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    return line;
}

} // namespace

TServiceProcess::~TServiceProcess() {
    Stop();
}

bool TServiceProcess::Start(const QString& program, const QString& dataFolder,
                            const QString& contentFolder, const QString& tlsFolder) {
    error.clear();
    if (!QFile::exists(program)) {
        error = QStringLiteral("the stand-in service is not built: %1 (build the target "
                               "kavrien-service)")
                    .arg(program);
        return false;
    }
    const std::vector<std::string> args = {
        program.toStdString(),   "--data",    dataFolder.toStdString(),   "--tls-dir",
        tlsFolder.toStdString(), "--content", contentFolder.toStdString()};
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = ErrnoText("pipe");
        return false;
    }
    const pid_t parent = getpid();
    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        dup2(fds[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        error = ErrnoText("fork");
        return false;
    }

    // The service prints one line once it listens.
    const std::string line = ReadLine(fds[0], StartTimeoutMs);
    close(fds[0]);
    static const QRegularExpression pattern(QStringLiteral(
        R"(api=(https://127\.0\.0\.1:(\d+)/admin/api\.php\?) control=http://127\.0\.0\.1:(\d+) )"
        R"(stream=http://127\.0\.0\.1:(\d+) ca=(\S+))"));
    const QRegularExpressionMatch match = pattern.match(QString::fromStdString(line));
    if (!match.hasMatch()) {
        const QString said = QString::fromStdString(line).trimmed();
        Stop();
        error = QStringLiteral("the stand-in service did not start (its messages are above); "
                               "it said: ") +
                said;
        return false;
    }
    endpoints.ApiBaseUrl = match.captured(1).toLatin1();
    endpoints.ApiPort = match.captured(2).toInt();
    endpoints.ControlPort = match.captured(3).toInt();
    endpoints.StreamPort = match.captured(4).toInt();
    endpoints.CaFile = match.captured(5);
    return true;
}

bool TServiceProcess::Stop() {
    if (pid <= 0)
        return true;
    kill(pid, SIGTERM);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(StopTimeoutMs);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    bool clean = true;
    if (done == 0) {
        error = QStringLiteral("the stand-in service did not stop within %1 ms").arg(StopTimeoutMs);
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        clean = false;
    } else if (done == pid && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        error = QStringLiteral("the stand-in service ended with status %1").arg(status);
        clean = false;
    }
    pid = -1;
    return clean;
}
