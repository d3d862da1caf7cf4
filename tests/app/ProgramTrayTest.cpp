// The real program on an X server of the test's own, driven with real input (xdotool):
// closed to the tray of a real tray host (trayer) and brought back from the icon's menu;
// closed while no tray host runs (a real window manager, openbox, minimises it); and the
// exit that stops the broadcast.

#include "settings/Settings.h"
#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TTrayHost.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <csignal>

namespace {

using P = TProgramUnderTest;

QString ClientPath() {
    return TestEnvironment::BuildDir() + "/app/kavrien-player";
}

// Established TCP connections of the process to a port of 127.0.0.1: the media library's
// connection to a stream while it plays one.
int ConnectionsTo(qint64 pid, int port) {
    QSet<QByteArray> sockets;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = QFile::symLinkTarget(fds.filePath(fd));
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("socket:\\[(\\d+)\\]")).match(target);
        if (m.hasMatch())
            sockets.insert(m.captured(1).toLatin1());
    }
    QFile table(QStringLiteral("/proc/%1/net/tcp").arg(pid));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray remote =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        // sl local rem st tx:rx tr:when retrnsmt uid timeout inode
        if (f.size() > 9 && f[2] == remote && f[3] == "01" && sockets.contains(f[9]))
            ++count;
    }
    return count;
}

// The visible windows of the program: its main window (and dialogs) are large, its tray
// icon small.
QList<unsigned long> VisibleWindows(qint64 pid) {
    QList<unsigned long> windows;
    const QByteArray out = P::XDoTool({"search", "--onlyvisible", "--pid", QString::number(pid)});
    for (const QByteArray& id : out.split('\n'))
        if (!id.trimmed().isEmpty())
            windows.append(id.trimmed().toULong());
    return windows;
}

unsigned long WaitForWindow(qint64 pid, const std::function<bool(const QRect&)>& fits,
                            int timeoutMs = 20000) {
    unsigned long found = 0;
    WaitUntil(
        [&] {
            for (unsigned long w : VisibleWindows(pid))
                if (fits(P::WindowGeometry(w))) {
                    found = w;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

bool IsMainWindowSize(const QRect& r) {
    return r.width() >= 800 && r.height() >= 500;
}
bool IsIconSize(const QRect& r) {
    return r.width() <= 48 && r.height() <= 48;
}

unsigned long MainWindow(qint64 pid, int timeoutMs = 20000) {
    return WaitForWindow(pid, IsMainWindowSize, timeoutMs);
}

bool MainWindowGone(qint64 pid) {
    return WaitUntil(
        [pid] {
            for (unsigned long w : VisibleWindows(pid))
                if (IsMainWindowSize(P::WindowGeometry(w)))
                    return false;
            return true;
        },
        20000);
}

QByteArray WmState(unsigned long window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {"-id", QString::number(window), "WM_STATE"});
    xprop.waitForFinished(10000);
    return xprop.readAllStandardOutput();
}

// A real window manager for the test's display; it minimises and restores windows.
class TWindowManager {
public:
    ~TWindowManager() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
    void Start() {
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
            << "this test needs a window manager: openbox (package openbox)";
        process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(process.waitForStarted(10000));
        ASSERT_TRUE(WaitUntil(
            [] {
                QProcess xprop;
                xprop.start(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"});
                xprop.waitForFinished(10000);
                return xprop.readAllStandardOutput().contains("window id");
            },
            20000))
            << "openbox did not take over the display";
    }

private:
    QProcess process;
};

class ProgramTrayTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.IsRunning());
        TestEnvironment::ClearSettingsStore();
    }
    void TearDown() override {
        for (qint64 pid : strays)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    }

    // Signs in with real key presses; the main window.
    unsigned long SignIn(P& client, const char* user, const char* password) {
        const unsigned long main =
            client.SignIn(QString::fromLatin1(user), QString::fromLatin1(password));
        EXPECT_NE(main, 0u) << client.Output().constData();
        // Without a window manager nothing activates the new window; its first activation
        // asks for the channel list.
        if (main != 0)
            P::Focus(main);
        return main;
    }

    // Signs in as the administrator and waits until the channel list has been asked for and
    // its reply has had time to arrive; the main window, or 0.
    unsigned long SignInAsAdmin(P& client) {
        const unsigned long main =
            SignIn(client, TStandInService::AdminUser, TStandInService::AdminPassword);
        if (main == 0 || !WaitUntil([&] { return Sent("cmd=listnew"); }))
            return 0;
        ProcessEventsFor(500);
        return main;
    }

    // The first channel, Harbour News, restored at start as the last one watched.
    bool WaitForStream(P& client) {
        return WaitUntil([&] { return ConnectionsTo(client.Pid(), service.StreamPort()) > 0; },
                         30000);
    }
    bool WaitForNoStream(P& client) {
        return WaitUntil([&] { return ConnectionsTo(client.Pid(), service.StreamPort()) == 0; },
                         20000);
    }

    int StatusPolls() {
        int count = 0;
        for (const auto& request : service.Log())
            count += request.Query == "cmd=bdcstatus";
        return count;
    }
    bool Sent(const QByteArray& query) {
        for (const auto& request : service.Log())
            if (request.Query == query)
                return true;
        return false;
    }

    // Right button on the tray icon, then the menu item in place index of three.
    void ChooseFromTheTrayMenu(P& client, unsigned long icon, int index) {
        const QRect at = P::WindowGeometry(icon);
        P::XDoTool({"mousemove", QString::number(at.center().x()), QString::number(at.center().y()),
                    "click", "3"});
        const unsigned long menu = WaitForWindow(client.Pid(), [&](const QRect& r) {
            return r != at && !IsMainWindowSize(r) && r.height() > 30;
        });
        ASSERT_NE(menu, 0u) << "the tray menu did not open";
        ProcessEventsFor(200);
        // Three items of one height: "&Resume", "&Logout", "&Exit".
        const QRect m = P::WindowGeometry(menu);
        P::XDoTool({"mousemove", QString::number(m.center().x()),
                    QString::number(m.top() + m.height() * (2 * index + 1) / 6), "click", "1"});
    }

    TStandInService service;
    QList<qint64> strays;
};

TEST_F(ProgramTrayTest, ClosedWhilePlayingItHidesToTheTrayAndTheIconsMenuBringsItBack) {
    TTrayHost host;
    ASSERT_NO_FATAL_FAILURE(host.Start());
    WriteLastCid("11");
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = SignIn(client, TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(main, 0u);
    ASSERT_TRUE(WaitForStream(client)) << "the last channel does not play";
    EXPECT_EQ(P::WindowName(main), "Kavrien Player (anna) - Harbour News");

    // "&User" > "&Minimize to Tray".
    P::Key(main, "alt+u");
    P::Key(main, "m");
    ASSERT_TRUE(MainWindowGone(client.Pid())) << "the window did not hide";
    EXPECT_TRUE(WaitForNoStream(client)) << "the playback did not stop";
    const unsigned long icon = WaitForWindow(client.Pid(), IsIconSize);
    ASSERT_NE(icon, 0u) << "no icon in the tray";
    // No polls while in the tray.
    const int polls = StatusPolls();
    ProcessEventsFor(6000);
    EXPECT_EQ(StatusPolls(), polls);

    ASSERT_NO_FATAL_FAILURE(ChooseFromTheTrayMenu(client, icon, 0));
    const unsigned long back = MainWindow(client.Pid());
    ASSERT_NE(back, 0u) << "Resume did not bring the window back";
    EXPECT_EQ(P::WindowName(back), "Kavrien Player (anna)");
    EXPECT_TRUE(WaitUntil([&] { return VisibleWindows(client.Pid()).size() == 1; }))
        << "the icon stayed";
    EXPECT_TRUE(WaitUntil([&] { return StatusPolls() > polls; }, 15000)) << "no polls again";

    // Closed again, and "&Exit" from the tray: the program ends and its icon goes with it.
    P::Key(back, "alt+u");
    P::Key(back, "m");
    ASSERT_TRUE(MainWindowGone(client.Pid()));
    const unsigned long again = WaitForWindow(client.Pid(), IsIconSize);
    ASSERT_NE(again, 0u);
    ASSERT_NO_FATAL_FAILURE(ChooseFromTheTrayMenu(client, again, 2));
    EXPECT_EQ(client.WaitForExit(20000), 0) << client.Output().constData();
    EXPECT_TRUE(WaitUntil([&] { return !P::IsWindowVisible(again); }));
}

TEST_F(ProgramTrayTest, LogoutFromTheTrayMenuStartsAFreshCopy) {
    TTrayHost host;
    ASSERT_NO_FATAL_FAILURE(host.Start());
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = SignIn(client, TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(main, 0u);
    P::Key(main, "alt+u");
    P::Key(main, "m");
    ASSERT_TRUE(MainWindowGone(client.Pid()));
    const unsigned long icon = WaitForWindow(client.Pid(), IsIconSize);
    ASSERT_NE(icon, 0u) << "no icon in the tray";
    ASSERT_NO_FATAL_FAILURE(ChooseFromTheTrayMenu(client, icon, 1));
    EXPECT_EQ(client.WaitForExit(20000), 0) << client.Output().constData();
    const unsigned long fresh = P::FindWindow("^Kavrien Login", 30000);
    ASSERT_NE(fresh, 0u) << "no new copy after the logout";
    strays.append(P::WindowPid(fresh));
    EXPECT_NE(P::WindowPid(fresh), client.Pid());
}

TEST_F(ProgramTrayTest, WithoutATrayHostTheCloseBoxMinimisesAndRestoringResumes) {
    ASSERT_FALSE(TTrayHost::Available());
    TWindowManager wm;
    ASSERT_NO_FATAL_FAILURE(wm.Start());
    WriteLastCid("11");
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = SignIn(client, TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(main, 0u);
    ASSERT_TRUE(WaitForStream(client));

    // The close box, as the window manager delivers it.
    P::Focus(main);
    P::Key(main, "alt+F4");
    ASSERT_TRUE(WaitUntil([&] { return WmState(main).contains("Iconic"); }))
        << "not minimised: " << WmState(main).constData();
    EXPECT_TRUE(WaitForNoStream(client)) << "the playback did not stop";
    EXPECT_TRUE(client.IsRunning());
    const int polls = StatusPolls();
    ProcessEventsFor(6000);
    EXPECT_EQ(StatusPolls(), polls) << "polls while minimised";

    // Restored as a taskbar does it.
    P::XDoTool({"windowactivate", QString::number(main)});
    ASSERT_TRUE(WaitUntil([&] { return WmState(main).contains("Normal"); }));
    EXPECT_TRUE(WaitUntil([&] { return StatusPolls() > polls; }, 15000))
        << "restoring did not resume the polls";
    EXPECT_EQ(P::WindowName(main), "Kavrien Player (anna)");

    P::Key(main, "alt+u");
    P::Key(main, "e");
    EXPECT_EQ(client.WaitForExit(20000), 0) << client.Output().constData();
}

TEST_F(ProgramTrayTest, StopOnExitStopsTheBroadcastBeforeTheProgramEndsAndLogoutNever) {
    WriteCloseOnExit(true);
    service.SetBroadcast("12", "de");
    {
        P client(ClientPath(), service.ClientEnvironment());
        ASSERT_TRUE(client.Start());
        const unsigned long main = SignInAsAdmin(client);
        ASSERT_NE(main, 0u);
        service.ScriptDelay("stopbdc", 2000);
        QElapsedTimer clock;
        clock.start();
        P::Key(main, "alt+u");
        P::Key(main, "e");
        EXPECT_EQ(client.WaitForExit(30000), 0) << client.Output().constData();
        EXPECT_TRUE(Sent("cmd=stopbdc"));
        EXPECT_GE(clock.elapsed(), 2000) << "the program did not wait for the stop's reply";
        EXPECT_FALSE(service.Broadcast().Running);
    }

    // Without the user name the first copy stored, so the login dialog starts empty again.
    TestEnvironment::ClearSettingsStore();
    WriteCloseOnExit(true);
    service.SetBroadcast("12", "de");
    service.ClearLog();
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = SignInAsAdmin(client);
    ASSERT_NE(main, 0u);
    P::Key(main, "alt+u");
    P::Key(main, "l");
    EXPECT_EQ(client.WaitForExit(20000), 0);
    const unsigned long fresh = P::FindWindow("^Kavrien Login", 30000);
    ASSERT_NE(fresh, 0u) << "the logout started a new copy";
    strays.append(P::WindowPid(fresh));
    EXPECT_FALSE(Sent("cmd=stopbdc"));
    EXPECT_TRUE(service.Broadcast().Running);
}

TEST_F(ProgramTrayTest, AFailedStopOnExitIsShownAndTheProgramEndsOnceItIsDismissed) {
    WriteCloseOnExit(true);
    service.SetBroadcast("12", "de");
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = SignInAsAdmin(client);
    ASSERT_NE(main, 0u);
    service.ScriptStatus("stopbdc", 500);
    P::Key(main, "alt+u");
    P::Key(main, "e");
    // The warning, over the main window that takes no more commands.
    const unsigned long box = WaitForWindow(
        client.Pid(), [](const QRect& r) { return !IsMainWindowSize(r) && r.height() > 60; });
    ASSERT_NE(box, 0u) << "no warning" << client.Output().constData();
    EXPECT_TRUE(client.IsRunning());
    P::Key(box, "Return");
    EXPECT_EQ(client.WaitForExit(20000), 0) << client.Output().constData();
}

} // namespace
