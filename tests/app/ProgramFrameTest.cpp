// The real program on an X server of the test's own, driven with real input (xdotool):
// full screen by Alt+Enter and by a double click on the picture, the wheel over the video,
// Escape in full screen.

#include "settings/Settings.h"
#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QImage>
#include <QRect>
#include <gtest/gtest.h>

namespace {

using P = TProgramUnderTest;

QString ClientPath() {
    return TestEnvironment::BuildDir() + "/app/kavrien-player";
}

// The design's client area in the window (below a menu bar of this height on this display).
constexpr int MenuBarHeight = 18;

// Pointer moves without --sync, which would wait for nothing when the pointer is there.
void PointAt(unsigned long window, QPoint at) {
    P::XDoTool({"mousemove", "--window", QString::number(window), QString::number(at.x()),
                QString::number(at.y())});
}

void ClickAt(unsigned long window, QPoint at, int repeat) {
    PointAt(window, at);
    P::XDoTool({"click", "--repeat", QString::number(repeat), "--delay", "80", "1"});
}

double ColourfulShare(const QImage& image, const QRect& area) {
    return double(CountColourfulPixels(image, area)) / (area.width() * area.height() / 4);
}

TEST(ProgramFrameTest, FullScreenTheWheelAndEscapeWithRealInput) {
    TestEnvironment::ClearSettingsStore();
    TStandInService service;
    ASSERT_TRUE(service.IsRunning());
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = client.SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(main, 0u) << client.Output().constData();
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main).width() == 1121; }));
    const QRect bounds = P::WindowGeometry(main);
    EXPECT_EQ(bounds.size(), QSize(1121, 618));
    const QRect screen(0, 0, 1280, 1024); // the test's X server
    // The video area beside the channel list, above the player controls.
    const QRect video(281, MenuBarHeight, 1121 - 281, 618 - MenuBarHeight - 42);
    auto playing = [&](const QRect& area) {
        return WaitUntil([&] { return ColourfulShare(P::Grab(main), area) > 0.5; }, 30000);
    };

    // Activated as a window manager would on mapping it (there is none on this X server):
    // the first activation asks for the channel list. Then a double click on the first
    // channel plays it (clicked again while the list may still be on its way).
    P::Focus(main);
    const QString watching = "Kavrien Player (anna) - Harbour News";
    ASSERT_TRUE(WaitUntil(
        [&] {
            ClickAt(main, QPoint(60, MenuBarHeight + 28 + 8), 2);
            return WaitUntil([&] { return P::WindowName(main) == watching; }, 5000);
        },
        30000))
        << P::WindowName(main).toStdString() << client.Output().constData();
    ASSERT_TRUE(playing(video)) << "the picture shows in the video area";

    // Alt+Enter: the window covers the screen and the picture goes on; again: back.
    P::Key(main, "alt+Return");
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) == screen; }));
    EXPECT_TRUE(playing(screen.adjusted(0, 200, 0, -200)));
    P::Key(main, "alt+Return");
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) == bounds; }))
        << "back to its bounds";
    EXPECT_TRUE(playing(video));

    // A double click on the picture does the same.
    ClickAt(main, video.center(), 2);
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) == screen; }));
    ClickAt(main, QPoint(640, 512), 2);
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) == bounds; }));

    // The wheel over the video raises the volume by one step: label and store follow.
    const QRect label(1121 - 216 + 2, 618 - 42 + 6, 216 - 173 - 2, 28); // right of the bar
    const QImage before = P::Grab(main).copy(label);
    ASSERT_EQ(ReadLastVol(), 100);
    PointAt(main, video.center());
    P::XDoTool({"click", "4"});
    ASSERT_TRUE(WaitUntil([&] { return ReadLastVol() == 105; }));
    EXPECT_TRUE(WaitUntil([&] { return P::Grab(main).copy(label) != before; }))
        << "the percent label shows the new volume";
    ProcessEventsFor(500);
    EXPECT_EQ(ReadLastVol(), 105) << "one step only";

    // Escape in full screen: playback stops, the logo shows on black, full screen stays.
    P::Key(main, "alt+Return");
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) == screen; }));
    P::Key(main, "Escape");
    ASSERT_TRUE(WaitUntil([&] { return P::WindowName(main) == "Kavrien Player (anna)"; }, 20000));
    const QRect logo(640 - 64, 512 - 64, 128, 128);
    EXPECT_TRUE(WaitUntil([&] {
        const QImage grab = P::Grab(main);
        return CountColourfulPixels(grab, logo) > 500 &&
               CountColourfulPixels(grab, QRect(0, 0, 1280, logo.top())) == 0 &&
               CountColourfulPixels(grab, QRect(0, logo.bottom() + 2, 1280, 1024)) == 0;
    })) << "the logo on black";
    EXPECT_EQ(P::WindowGeometry(main), screen);

    P::Key(main, "alt+Return");
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) == bounds; }));
    P::Key(main, "alt+u");
    P::Key(main, "e");
    EXPECT_EQ(client.WaitForExit(20000), 0) << client.Output().constData();
}

} // namespace
