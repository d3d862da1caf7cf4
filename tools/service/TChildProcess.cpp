#include "TChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

TChildProcess::~TChildProcess() {
    Kill();
    CloseOutput();
}

void TChildProcess::CloseOutput() {
    if (Output >= 0) {
        close(Output);
        Output = -1;
    }
}

std::string TChildProcess::FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

bool TChildProcess::Start(const std::vector<std::string>& args, TOutput output,
                          std::string& error) {
    const bool captureOutput = output != TOutput::ToStderr;
    Kill();
    CloseOutput();
    const std::string program = FindProgram(args.at(0));
    if (program.empty()) {
        error = args[0] + " was not found on PATH";
        return false;
    }
    int pipeFds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    // Everything the child needs is prepared here: after fork only async-signal-safe calls.
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        if (captureOutput) {
            close(pipeFds[0]);
            close(pipeFds[1]);
        }
        if (devNull >= 0)
            close(devNull);
        return false;
    }
    if (pid == 0) {
        // The service may die without cleaning up; its children must not outlive it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        if (devNull >= 0)
            dup2(devNull, 0);
        dup2(captureOutput ? pipeFds[1] : 2, 1);
        if (output == TOutput::CaptureBoth)
            dup2(pipeFds[1], 2);
        // Inherited sockets would keep the service's connections open after it closed them.
        if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0)
            for (int fd = 3; fd < 1024; ++fd)
                close(fd);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Pid = pid;
    if (devNull >= 0)
        close(devNull);
    if (captureOutput) {
        close(pipeFds[1]);
        Output = pipeFds[0];
    }
    return true;
}

int TChildProcess::Wait() {
    if (Pid < 0)
        return -1;
    int status = 0;
    while (waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
    }
    Pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void TChildProcess::Kill() {
    if (Pid > 0) {
        kill(Pid, SIGTERM);
        int status = 0;
        bool reaped = false;
        for (int i = 0; i < 100 && !reaped; ++i) {
            reaped = waitpid(Pid, &status, WNOHANG) == Pid;
            if (!reaped)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!reaped) {
            kill(Pid, SIGKILL);
            waitpid(Pid, &status, 0);
        }
        Pid = -1;
    }
}

bool TChildProcess::Run(const std::vector<std::string>& args, std::string& error) {
    TChildProcess child;
    if (!child.Start(args, TOutput::CaptureBoth, error))
        return false;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(child.OutputFd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const int code = child.Wait();
    if (code != 0) {
        error = args[0] + " failed (exit code " + std::to_string(code) + "): " + text;
        return false;
    }
    return true;
}
