// The real program on an X server of the test's own, driven with real key presses.

#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>

namespace {

using P = TProgramUnderTest;

QString ClientPath() {
    return TestEnvironment::BuildDir() + "/app/kavrien-player";
}

QByteArray ReadProcFile(qint64 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ProgramSignInTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.IsRunning());
        TestEnvironment::ClearSettingsStore();
    }
    void TearDown() override {
        // A copy started by a logout is not our child; end it with the test.
        for (qint64 pid : strays)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    }

    TStandInService service;
    QList<qint64> strays;
};

TEST_F(ProgramSignInTest, SignInWithAWrongPasswordFirstThenExitFromTheMenu) {
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());

    const unsigned long login = P::FindWindow("^Kavrien Login", 30000, client.Pid());
    ASSERT_NE(login, 0u) << client.Output().constData();
    P::Type(login, "anna");
    P::Key(login, "Tab");
    P::Type(login, "wrong");
    P::Key(login, "Return");

    const unsigned long error = P::FindWindow("^Error", 20000, client.Pid());
    ASSERT_NE(error, 0u) << "the wrong password is reported";
    P::Key(error, "Return");
    ASSERT_TRUE(P::WaitForWindowGone("^Error"));

    // The dialog is back with both entries; the focus is in the password field.
    const unsigned long again = P::FindWindow("^Kavrien Login", 20000, client.Pid());
    ASSERT_NE(again, 0u);
    P::Key(again, "ctrl+a");
    P::Type(again, TStandInService::UserPassword);
    P::Key(again, "Return");

    const unsigned long main = P::FindWindow("^Kavrien Player \\(anna\\)$", 30000, client.Pid());
    ASSERT_NE(main, 0u) << client.Output().constData();

    // "&User" > "&Exit" with the keyboard.
    P::Key(main, "alt+u");
    P::Key(main, "e");
    EXPECT_EQ(client.WaitForExit(20000), 0) << client.Output().constData();
}

TEST_F(ProgramSignInTest, LogoutStartsOneFreshCopyWithTheStoredUserAndAnEmptyPassword) {
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = client.SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(main, 0u) << client.Output().constData();

    P::Key(main, "alt+u");
    P::Key(main, "l");
    EXPECT_EQ(client.WaitForExit(20000), 0);

    // Exactly one new copy, of the same executable, without arguments.
    const unsigned long fresh = P::FindWindow("^Kavrien Login", 30000);
    ASSERT_NE(fresh, 0u) << "a new copy shows the login dialog" << client.Output().constData();
    const qint64 pid = P::WindowPid(fresh);
    ASSERT_GT(pid, 0);
    strays.append(pid);
    EXPECT_NE(pid, client.Pid());
    ProcessEventsFor(1000);
    EXPECT_EQ(P::XDoTool({"search", "--onlyvisible", "--name", "^Kavrien Login"})
                  .trimmed()
                  .split('\n')
                  .size(),
              1)
        << "exactly one copy";
    EXPECT_EQ(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)),
              QFileInfo(ClientPath()).canonicalFilePath());
    EXPECT_EQ(ReadProcFile(pid, "cmdline").split('\0').count(QByteArray()), 1) << "no arguments";
    EXPECT_FALSE(ReadProcFile(pid, "cmdline").contains(TStandInService::UserPassword));
    EXPECT_FALSE(ReadProcFile(pid, "environ").contains(TStandInService::UserPassword));
    QFile store(TestEnvironment::ConfigHome() + "/Tessaliq/Kavrien.conf");
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    EXPECT_FALSE(store.readAll().contains(TStandInService::UserPassword));

    // Only the password is typed: the user name was offered and the password field was
    // empty, with the focus in it.
    P::Type(fresh, TStandInService::UserPassword);
    P::Key(fresh, "Return");
    EXPECT_NE(P::FindWindow("^Kavrien Player \\(anna\\)$", 30000, pid), 0u);
}

} // namespace
