#include "tools/bench/TBenchService.h"

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

constexpr int StartTimeoutMs = 20000;
constexpr int StopTimeoutMs = 10000;

QString ErrnoText(const char* call) {
    return QStringLiteral("%1: %2").arg(QLatin1String(call),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

TBenchService::~TBenchService() {
    Stop();
}

bool TBenchService::Start(const QString& program, const QString& dataFolder,
                          const QString& contentFolder) {
    if (!QFile::exists(program)) {
        error = QStringLiteral("the stand-in service is not built: ") + program;
        return false;
    }
    if (!QFile::exists(contentFolder + QStringLiteral("/11.ts"))) {
        error = QStringLiteral("the demo content is missing in ") + contentFolder +
                QStringLiteral(" (build the target kavrien_demo_content)");
        return false;
    }
    if (!folder.isValid()) {
        error = QStringLiteral("no temporary folder for the stand-in service");
        return false;
    }
    const std::vector<std::string> args = {program.toStdString(),
                                           "--data",
                                           dataFolder.toStdString(),
                                           "--tls-dir",
                                           (folder.path() + QStringLiteral("/tls")).toStdString(),
                                           "--content",
                                           contentFolder.toStdString()};
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
        // Dies with the benchmark, however it ends.
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
    std::string line;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(StartTimeoutMs);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[512];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    static const QRegularExpression pattern(
        QStringLiteral(R"(api=(https://127\.0\.0\.1:\d+/admin/api\.php\?) control=\S+ )"
                       R"(stream=(http://127\.0\.0\.1:\d+) ca=(\S+))"));
    const QRegularExpressionMatch match = pattern.match(QString::fromStdString(line));
    if (!match.hasMatch()) {
        error = QStringLiteral("the stand-in service did not start (its messages are above); "
                               "it said: ") +
                QString::fromStdString(line).trimmed();
        Stop();
        return false;
    }
    apiUrl = match.captured(1).toLatin1();
    streamBase = match.captured(2).toLatin1();
    caFile = match.captured(3);
    return true;
}

void TBenchService::Stop() {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(StopTimeoutMs);
    pid_t done = 0;
    while ((done = waitpid(pid, nullptr, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

QByteArray TBenchService::StreamUrl(const QByteArray& cid) const {
    return streamBase + "/live/" + cid.toPercentEncoding() + ".ts";
}
