#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A child program of the service (ffmpeg, openssl). It gets a clean signal state and none
// of the service's descriptors (no sockets), and dies with the service even when the
// service is killed. Not thread-safe: one owner.
class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess(); // Kill() and CloseOutput()
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    enum class TOutput {
        ToStderr,    // stdout goes to the service's stderr
        Capture,     // OutputFd() reads stdout; stderr goes to the service's
        CaptureBoth, // OutputFd() reads stdout and stderr
    };

    // Starts args[0] found on PATH, stdin /dev/null.
    bool Start(const std::vector<std::string>& args, TOutput output, std::string& error);
    int OutputFd() const { return Output; }
    // Waits for the end; the exit code, or -1 when it did not exit normally.
    int Wait();
    // SIGTERM, and SIGKILL when it has not ended after a short while; then reaps it. The
    // output stays open, so a thread reading it sees its end rather than a closed descriptor.
    void Kill();
    void CloseOutput();

    // The program's path on PATH, empty when none.
    static std::string FindProgram(const std::string& name);
    // Runs the program to its end; true when it exited with 0, else its output is in error.
    static bool Run(const std::vector<std::string>& args, std::string& error);

private:
    pid_t Pid = -1;
    int Output = -1;
};
