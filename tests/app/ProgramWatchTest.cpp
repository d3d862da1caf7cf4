// The real program on an X server of the test's own, driven with real mouse and key input:
// sign in, watch a channel, change its audio language, full screen, stop.

#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

using P = TProgramUnderTest;

QString ClientPath() {
    return TestEnvironment::BuildDir() + "/app/kavrien-player";
}

// The channel list's first row begins where its white interior begins, below the menu bar
// and the "Channel List :" label; -1 when the grab shows no list.
int ListTop(const QImage& window) {
    constexpr int x = 200; // right of the channel names, left of the panel's "X" button
    for (int y = 0; y < 200 && y < window.height(); ++y) {
        if (window.pixelColor(x, y) == QColor(Qt::white))
            return y;
    }
    return -1;
}

// Pixels (on a grid of every second one) that differ clearly between two grabs.
int ChangedPixels(const QImage& a, const QImage& b, const QRect& region) {
    int changed = 0;
    for (int y = region.top(); y <= region.bottom(); y += 2) {
        for (int x = region.left(); x <= region.right(); x += 2) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                    std::abs(p.blue() - q.blue()) >
                60)
                ++changed;
        }
    }
    return changed;
}

QList<QByteArray> QueriesSince(TStandInService& service, int from) {
    QList<QByteArray> queries;
    const auto log = service.Log();
    for (int i = from; i < log.size(); ++i)
        queries.append(log[i].Query);
    return queries;
}

TEST(ProgramWatchTest, WatchChangeLanguageFullScreenAndStopWithRealInput) {
    TStandInService service;
    ASSERT_TRUE(service.IsRunning());
    TestEnvironment::ClearSettingsStore();
    P client(ClientPath(), service.ClientEnvironment());
    ASSERT_TRUE(client.Start());
    const unsigned long main = client.SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(main, 0u) << client.Output().constData();
    // There is no window manager to activate the new window: the user's focus does, and the
    // first activation asks for the channel list.
    P::Focus(main);
    ASSERT_TRUE(service.WaitForLogSize(4, 20000)) << "the channel list was not asked for";

    // Double-click "Meridian Sport", the second row.
    int top = -1;
    ASSERT_TRUE(WaitUntil([&] { return (top = ListTop(P::Grab(main))) > 0; }, 20000))
        << "no channel list in the window";
    P::Click(main, 60, top + 16 + 8, 1, 2);
    ASSERT_NE(P::FindWindow("^Kavrien Player \\(anna\\) - Meridian Sport$", 30000, client.Pid()),
              0u)
        << "caption: " << P::WindowName(main).toStdString();
    EXPECT_TRUE(QueriesSince(service, 0).contains("cmd=link&cid=12&us=0"));

    // The moving picture in the video area: two grabs, lit and different.
    const QRect bounds = P::WindowGeometry(main);
    const QRect video(300, top + 20, bounds.width() - 320, bounds.height() - top - 90);
    QImage first, second;
    const int samples = (video.width() / 2) * (video.height() / 2);
    ASSERT_TRUE(WaitUntil(
        [&] {
            first = P::Grab(main);
            return CountColourfulPixels(first, video) > samples / 2;
        },
        30000))
        << "no picture in the video area";
    // The first picture may stand while the library fills its buffer; then it moves.
    EXPECT_TRUE(WaitUntil(
        [&] {
            ProcessEventsFor(300);
            second = P::Grab(main);
            return ChangedPixels(first, second, video) > samples / 100;
        },
        20000))
        << "the picture does not move";

    // Another audio language from the box: its drop-down list with the mouse, then the keys.
    const int logSize = int(service.Log().size());
    const QPoint box(408 + 60, bounds.height() - 42 + 9 + 12);
    const QRect boxArea(408, bounds.height() - 42 + 9, 137, 24);
    const QImage beforePick = P::Grab(main).copy(boxArea);
    P::Click(main, box.x(), box.y());
    ProcessEventsFor(500);
    P::XDoTool({"key", "--delay", "100", "Down", "Return"});
    EXPECT_TRUE(WaitUntil([&] { return P::Grab(main).copy(boxArea) != beforePick; }, 10000))
        << "the box does not show another language";
    ProcessEventsFor(1500);
    QList<QByteArray> queries = QueriesSince(service, logSize);
    queries.removeAll("cmd=bdcstatus"); // the status timer's polls
    EXPECT_EQ(queries, QList<QByteArray>()) << "the language change sent a request";
    EXPECT_EQ(P::WindowName(main), "Kavrien Player (anna) - Meridian Sport");

    // Double-click the picture: full screen.
    P::Click(main, 281 + (bounds.width() - 281) / 2, bounds.height() / 2, 1, 2);
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) == screen; }, 10000))
        << "window at " << P::WindowGeometry(main).x() << "," << P::WindowGeometry(main).y()
        << " size " << P::WindowGeometry(main).width() << "x" << P::WindowGeometry(main).height();

    // Escape: playback stops, the logo shows on black, full screen stays.
    P::Key(main, "Escape");
    EXPECT_NE(P::FindWindow("^Kavrien Player \\(anna\\)$", 10000, client.Pid()), 0u)
        << "caption: " << P::WindowName(main).toStdString();
    const QRect logo(1280 / 2 - 64, 1024 / 2 - 64, 128, 128);
    QImage shown;
    EXPECT_TRUE(WaitUntil(
        [&] {
            shown = P::GrabScreen();
            return CountColourfulPixels(shown, logo) > 64 * 64 / 4 &&
                   CountColourfulPixels(shown, QRect(0, 0, 1280, 400)) == 0 &&
                   CountColourfulPixels(shown, QRect(0, 640, 1280, 384)) == 0;
        },
        10000))
        << "no logo on black";
    EXPECT_EQ(P::WindowGeometry(main), screen);

    client.Focus(main);
    P::XDoTool({"key", "alt+Return"}); // leave full screen, then exit from the menu
    ASSERT_TRUE(WaitUntil([&] { return P::WindowGeometry(main) != screen; }, 10000));
    P::Key(main, "alt+u");
    P::Key(main, "e");
    EXPECT_EQ(client.WaitForExit(20000), 0) << client.Output().constData();
}

} // namespace
