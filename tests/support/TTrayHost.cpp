#include "tests/support/TTrayHost.h"

#include "tests/support/WaitUntil.h"
#include "widgets/TTrayIconComponent.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

TTrayHost::~TTrayHost() {
    Stop();
}

bool TTrayHost::Available() {
    return TTrayIconComponent::TrayHostAvailable();
}

void TTrayHost::Start() {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        << "this test needs a tray host: trayer (package trayer)";
    ASSERT_FALSE(Available()) << "another tray host runs on the test's display";
    process.start(QStringLiteral("trayer"),
                  {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                   QStringLiteral("left"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                   QStringLiteral("--height"), QStringLiteral("24")});
    ASSERT_TRUE(process.waitForStarted(10000)) << "trayer did not start";
    ASSERT_TRUE(WaitUntil([] { return Available(); }, 20000)) << "trayer did not take the tray";
}

void TTrayHost::Stop() {
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
    EXPECT_TRUE(WaitUntil([] { return !Available(); }, 10000)) << "the tray stayed taken";
}
