// The options dialog and the about box in the real program, opened and used with real input.

#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {

using P = TProgramUnderTest;

QString StoredSetting(const QString& name) {
    QSettings store(TestEnvironment::ConfigHome() + "/Tessaliq/Kavrien.conf", QSettings::IniFormat);
    return store.value(name).toString();
}

TEST(ProgramDialogsTest, OptionsAndAboutAreUsedWithTheKeyboardAndMouse) {
    TestEnvironment::ClearSettingsStore();
    TStandInService service;
    P client(TestEnvironment::BuildDir() + "/app/kavrien-player", service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = client.SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(main, 0u) << client.Output().constData();

    // "&Options" > "&Options...": the focus starts in the language field.
    P::Key(main, "alt+o");
    P::Key(main, "o");
    const unsigned long options = P::FindWindow("^Options", 20000, client.Pid());
    ASSERT_NE(options, 0u);
    const QRect bounds = P::WindowGeometry(options);
    EXPECT_EQ(bounds.size(), QSize(234, 248)) << "shrunk for an ordinary user";
    P::Type(options, "de");
    P::Key(options, "Return");
    ProcessEventsFor(300);
    EXPECT_TRUE(P::IsWindowVisible(options)) << "Enter does not close it";
    P::Click(options, 8 + 52, 216 + 12); // "&OK"
    ASSERT_TRUE(P::WaitForWindowGone("^Options"));
    EXPECT_TRUE(WaitUntil([] { return StoredSetting("DefLang") == "de"; }, 5000));
    EXPECT_EQ(StoredSetting("InitFullScreen"), "0");

    // "&Help" > "&About...", closed with Enter.
    P::Key(main, "alt+h");
    P::Key(main, "a");
    const unsigned long about = P::FindWindow("^About Kavrien Player", 20000, client.Pid());
    ASSERT_NE(about, 0u);
    EXPECT_EQ(P::WindowGeometry(about).size(), QSize(418, 278));
    P::Key(about, "Return");
    EXPECT_TRUE(P::WaitForWindowGone("^About Kavrien Player"));

    P::Key(main, "alt+u");
    P::Key(main, "e");
    EXPECT_EQ(client.WaitForExit(20000), 0);
}

} // namespace
