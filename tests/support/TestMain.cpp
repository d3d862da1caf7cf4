// The main of every test program: a settings store of its own, Qt on the offscreen
// platform or on an X server that the test starts itself, and GoogleTest.

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string configHome;
pid_t xvfbPid = -1;

void MakeConfigHome() {
    char pattern[] = "/tmp/kavrien-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    configHome = pattern;
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
}

#ifdef KAVRIEN_TEST_XVFB
// Starts Xvfb on a display number it picks itself and waits until it accepts clients.
// Death-test children reuse the display of the test that started them.
void StartXServer() {
    if (const char* inherited = std::getenv("KAVRIEN_TEST_DISPLAY")) {
        setenv("DISPLAY", inherited, 1);
        return;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(2);
    }
    xvfbPid = fork();
    if (xvfbPid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        std::fprintf(stderr,
                     "This test needs Xvfb (package xvfb), which could not be started: %s\n",
                     std::strerror(errno));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        std::fprintf(stderr, "Xvfb did not start; this test needs an X server of its own.\n");
        std::exit(2);
    }
    const std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    setenv("KAVRIEN_TEST_DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
}
#endif

void StopXServer() {
    if (xvfbPid > 0) {
        kill(xvfbPid, SIGTERM);
        waitpid(xvfbPid, nullptr, 0);
        xvfbPid = -1;
    }
}

} // namespace

int main(int argc, char** argv) {
    MakeConfigHome();
#ifdef KAVRIEN_TEST_XVFB
    StartXServer();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
#else
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
#endif
    // Children of death tests run the test again from its start in a fresh process, so
    // that threads and the Qt application are their own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    int result;
    {
        QApplication application(argc, argv);
        result = RUN_ALL_TESTS();
    }
    StopXServer();
    QDir(QString::fromStdString(configHome)).removeRecursively();
    return result;
}
