// The main window's keys and mouse wheel, in-process on an X server of the test's own with
// the real media library playing the stand-in service's streams. Keys go to the window as
// the window system delivers them (to whatever holds the focus); the wheel arrives at the
// platform window, synthesized for exact deltas or as real wheel clicks through xdotool.

#include "app/TMainForm.h"
#include "player/TVlcPlayer.h"
#include "player/VlcBinding.h"
#include "settings/Settings.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TProgramUnderTest.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "widgets/TPopupListNotifier.h"
#include "widgets/TUnfocusedTrackBar.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

using P = TProgramUnderTest;

// What the player was last given: the media library's own volume.
int PlayerVolume(TMainForm* form) {
    return LibVlc.libvlc_audio_get_volume(form->VlcPlayer->GetPlayer());
}

class KeyboardTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TPopupListNotifier::Install();
        qApp->installEventFilter(new TWheelTurns);
        service = std::make_unique<TStandInService>();
    }
    static void TearDownTestSuite() { service.reset(); }

    void SetUp() override {
        ASSERT_TRUE(service->IsRunning());
        service->Reset();
        harness = std::make_unique<TMainFormHarness>(*service);
    }
    void TearDown() override { harness.reset(); }

    TMainForm* Start() {
        TMainForm* form = harness->SignIn(TStandInService::User, TStandInService::UserPassword);
        if (form != nullptr) {
            EXPECT_TRUE(WaitUntil([form] { return form->isActiveWindow(); }));
        }
        return form;
    }
    TMainForm* StartPlaying(int row) {
        TMainForm* form = Start();
        if (form == nullptr)
            return nullptr;
        harness->Watch(row);
        EXPECT_TRUE(harness->WaitForPlaying());
        // The library drops a volume until the stream's audio output runs; from then on a
        // volume given is the volume read back.
        EXPECT_TRUE(WaitUntil(
            [form] {
                form->VlcPlayer->SetAudioVolume(41);
                return PlayerVolume(form) == 41;
            },
            20000));
        form->VlcPlayer->SetAudioVolume(form->VolumeBar->value());
        harness->NewQueries();
        return form;
    }

    // A key press as the window system delivers it: to the control with the focus.
    static void Key(TMainForm* form, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(form->windowHandle(), key, modifiers);
        ProcessEventsFor(30);
    }
    // One wheel message with this delta over a control, at the window as the system gives it.
    static void Wheel(TMainForm* form, QWidget* over, int delta) {
        const QPoint at = over->mapTo(form, over->rect().center());
        QWheelEvent wheel(at, form->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(form->windowHandle(), &wheel);
        ProcessEventsFor(30);
    }
    // A real wheel click (button 4 up, 5 down) with the pointer over a point of a control.
    static void RealWheel(TMainForm* form, QWidget* over, int button, QPoint at = QPoint(-1, -1)) {
        if (at.x() < 0)
            at = over->rect().center();
        const QPoint inWindow = over->mapTo(form, at);
        // Without --sync, which waits for a motion that never comes when the pointer is
        // there already; the server handles the move before the click all the same.
        P::XDoTool({"mousemove", "--window", QString::number(form->winId()),
                    QString::number(inWindow.x()), QString::number(inWindow.y())});
        const int seen = wheelTurns;
        P::XDoTool({"click", QString::number(button)});
        // Handled when it has arrived: the window's handlers run as Qt delivers it.
        EXPECT_TRUE(WaitUntil([seen] { return wheelTurns > seen; }));
    }

    // Real clicks (button 1 left, 3 right) at a point of a control.
    static void RealClick(TMainForm* form, QWidget* over, QPoint at, int button, int repeat = 1) {
        const QPoint inWindow = over->mapTo(form, at);
        P::XDoTool({"mousemove", "--window", QString::number(form->winId()),
                    QString::number(inWindow.x()), QString::number(inWindow.y())});
        P::XDoTool({"click", "--repeat", QString::number(repeat), "--delay", "80",
                    QString::number(button)});
        ProcessEventsFor(100);
    }

    // Counts the wheel turns that the window system delivers to the program's windows.
    class TWheelTurns : public QObject {
    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Wheel && qobject_cast<QWindow*>(watched) != nullptr)
                ++wheelTurns;
            return false;
        }
    };

    static std::unique_ptr<TStandInService> service;
    static inline int wheelTurns = 0;
    std::unique_ptr<TMainFormHarness> harness;
};

std::unique_ptr<TStandInService> KeyboardTest::service;

struct TVolumeKey {
    int Start;
    Qt::Key Key;
    int Expected;
};

void PrintTo(const TVolumeKey& row, std::ostream* os) {
    *os << row.Start << (row.Key == Qt::Key_Right ? " + Right" : " + Left");
}

TEST_F(KeyboardTest, LeftAndRightStepTheVolumeByFiveWithinItsBoundsFromTheListAndTheWindow) {
    const TVolumeKey rows[] = {
        {198, Qt::Key_Right, 200}, {200, Qt::Key_Right, 200}, {196, Qt::Key_Right, 200},
        {100, Qt::Key_Right, 105}, {3, Qt::Key_Left, 0},      {5, Qt::Key_Left, 0},
        {0, Qt::Key_Left, 0},      {100, Qt::Key_Left, 95},
    };
    TMainForm* form = StartPlaying(0);
    ASSERT_NE(form, nullptr);
    for (const char* holder : {"channel list", "window"}) {
        if (holder == std::string("window")) {
            // Hiding the panel with the focus in it hands the focus to the window itself.
            form->ShowStatusPanel1->trigger();
            ASSERT_EQ(QApplication::focusWidget(), form);
        } else {
            form->ChannelList->setFocus();
            ASSERT_EQ(QApplication::focusWidget(), form->ChannelList);
        }
        for (const TVolumeKey& row : rows) {
            SCOPED_TRACE(testing::PrintToString(row) + " with the focus in the " + holder);
            form->VolumeBar->setValue(row.Start);
            // Marks that only a change of the position overwrites.
            WriteLastVol(123);
            form->VlcPlayer->SetAudioVolume(37);
            const int selected = form->ChannelList->currentRow();
            Key(form, row.Key);
            EXPECT_EQ(form->VolumeBar->value(), row.Expected);
            EXPECT_EQ(form->VolPercentLabel->text(), QString("%1 %").arg(row.Expected));
            const bool changed = row.Expected != row.Start;
            EXPECT_EQ(ReadLastVol(), changed ? row.Expected : 123);
            EXPECT_EQ(PlayerVolume(form), changed ? row.Expected : 37);
            EXPECT_EQ(form->ChannelList->currentRow(), selected);
        }
    }
    EXPECT_TRUE(form->VlcPlayer->IsPlaying());
    EXPECT_TRUE(harness->NewQueries().isEmpty());
}

TEST_F(KeyboardTest, KeysTypedIntoOtherControlsDoNotReachTheWindow) {
    TMainForm* form = StartPlaying(1);
    ASSERT_NE(form, nullptr);
    form->VolumeBar->setValue(50);
    const int track = form->LangCombo->currentIndex();
    for (QWidget* control :
         {static_cast<QWidget*>(form->LangCombo), static_cast<QWidget*>(form->PlayBtn)}) {
        SCOPED_TRACE(control->metaObject()->className());
        control->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), control);
        Key(form, Qt::Key_Escape);
        Key(form, Qt::Key_Return, Qt::AltModifier);
        control->setFocus();
        Key(form, Qt::Key_Right);
        EXPECT_TRUE(form->VlcPlayer->IsPlaying());
        EXPECT_FALSE(form->FullScreen);
        EXPECT_EQ(form->VolumeBar->value(), 50);
    }
    EXPECT_EQ(form->LangCombo->currentIndex(), track);
}

TEST_F(KeyboardTest, EnterAloneDoesNothingAndAltEnterTogglesFullScreen) {
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    const QRect bounds = form->geometry();
    form->ChannelList->setFocus();
    Key(form, Qt::Key_Return);
    Key(form, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(form->FullScreen);
    Key(form, Qt::Key_Return, Qt::AltModifier);
    ASSERT_TRUE(form->FullScreen);
    EXPECT_EQ(form->geometry(), QGuiApplication::primaryScreen()->geometry());
    // Now the panels are hidden and the window holds the keys.
    EXPECT_EQ(QApplication::focusWidget(), form);
    Key(form, Qt::Key_Return);
    EXPECT_TRUE(form->FullScreen);
    Key(form, Qt::Key_Enter, Qt::KeypadModifier | Qt::AltModifier);
    ASSERT_FALSE(form->FullScreen);
    EXPECT_TRUE(WaitUntil([&] { return form->geometry() == bounds; }));
    Key(form, Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(form->FullScreen) << "the window itself toggles as the list did";
    Key(form, Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(form->FullScreen);
}

TEST_F(KeyboardTest, DownAndUpSwitchChannelsOnlyInFullScreenWithBothPanelsHidden) {
    TMainForm* form = StartPlaying(1);
    ASSERT_NE(form, nullptr);
    auto switched = [&](Qt::Key key) {
        Key(form, key);
        harness->WaitForRequests();
        return harness->NewQueries();
    };
    form->ChannelList->setFocus();
    // Outside full screen the list moves its own selection, and nothing is watched.
    EXPECT_TRUE(switched(Qt::Key_Down).isEmpty());
    EXPECT_EQ(form->LastCid, "12");

    form->VlcPlayerDblClick();
    ASSERT_TRUE(form->FullScreen);
    EXPECT_EQ(switched(Qt::Key_Down), QList<QByteArray>{"cmd=link&cid=11&us=0"});
    EXPECT_EQ(form->LastCid, "11");
    EXPECT_TRUE(harness->WaitForPlaying());
    EXPECT_EQ(switched(Qt::Key_Down), QList<QByteArray>{"cmd=link&cid=14&us=0"})
        << "from the first to the last";
    EXPECT_EQ(switched(Qt::Key_Up), QList<QByteArray>{"cmd=link&cid=11&us=0"});
    EXPECT_EQ(switched(Qt::Key_Up), QList<QByteArray>{"cmd=link&cid=12&us=0"});
    EXPECT_TRUE(harness->WaitForPlaying());

    for (QAction* panel : {form->ShowStatusPanel2, form->ShowPlayerControls1}) {
        SCOPED_TRACE(panel->text().toStdString());
        panel->trigger();
        EXPECT_TRUE(switched(Qt::Key_Down).isEmpty());
        EXPECT_TRUE(switched(Qt::Key_Up).isEmpty());
        panel->trigger();
    }
    EXPECT_EQ(form->LastCid, "12");
    EXPECT_TRUE(harness->Boxes().Calls().isEmpty());
}

TEST_F(KeyboardTest, EscapeInFullScreenStopsPlaybackAndShowsTheLogoOnBlack) {
    TMainForm* form = StartPlaying(0);
    ASSERT_NE(form, nullptr);
    Key(form, Qt::Key_Return, Qt::AltModifier);
    ASSERT_TRUE(form->FullScreen);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect logo(screen.center() - QPoint(63, 63), QSize(128, 128));
    EXPECT_TRUE(
        WaitUntil([&] { return CountColourfulPixels(P::GrabScreen(), screen) > 10000; }, 20000))
        << "the picture plays";

    Key(form, Qt::Key_Escape);
    EXPECT_TRUE(harness->WaitForNotPlaying());
    EXPECT_TRUE(form->FullScreen);
    EXPECT_EQ(form->geometry(), screen);
    EXPECT_FALSE(form->VlcPlayer->isVisible());
    EXPECT_EQ(form->windowTitle(), form->BaseCaption);
    EXPECT_TRUE(form->LastCid.isEmpty());
    QImage grab;
    EXPECT_TRUE(WaitUntil(
        [&] {
            grab = P::GrabScreen();
            return CountColourfulPixels(grab, logo) > 500;
        },
        20000))
        << "the logo";
    EXPECT_EQ(CountColourfulPixels(grab, QRect(0, 0, screen.width(), logo.top())), 0)
        << "black above the logo";
    EXPECT_EQ(CountColourfulPixels(grab, QRect(0, logo.bottom() + 2, screen.width(),
                                               screen.height() - logo.bottom() - 2)),
              0)
        << "black below it";
}

struct TWheelStep {
    int Delta;
    int Change;
};

TEST_F(KeyboardTest, OneWheelMessageMakesAtMostOneStepOfFive) {
    const TWheelStep rows[] = {{60, 0},  {240, 5},  {-120, -5}, {120, 5},
                               {-60, 0}, {-119, 0}, {-600, -5}, {119, 0}};
    TMainForm* form = StartPlaying(1);
    ASSERT_NE(form, nullptr);
    const int track = form->LangCombo->currentIndex();
    for (QWidget* over :
         {static_cast<QWidget*>(form->VlcPlayer), static_cast<QWidget*>(form->LangCombo),
          static_cast<QWidget*>(form->VolumeBar), static_cast<QWidget*>(form->ChannelList),
          form->PlayerPanel}) {
        for (const TWheelStep& row : rows) {
            SCOPED_TRACE(testing::Message()
                         << "delta " << row.Delta << " over " << over->metaObject()->className());
            form->VolumeBar->setValue(100);
            Wheel(form, over, row.Delta);
            EXPECT_EQ(form->VolumeBar->value(), 100 + row.Change);
            EXPECT_EQ(ReadLastVol(), 100 + row.Change);
        }
    }
    EXPECT_EQ(form->LangCombo->currentIndex(), track) << "the box does not take the wheel";
}

TEST_F(KeyboardTest, RealWheelClicksStepOnceOverTheVideoAndTheControls) {
    TMainForm* form = StartPlaying(0);
    ASSERT_NE(form, nullptr);
    form->VolumeBar->setValue(100);
    // The video is a native window of its own, which the media library draws into.
    RealWheel(form, form->VlcPlayer, 4);
    EXPECT_EQ(form->VolumeBar->value(), 105);
    EXPECT_EQ(PlayerVolume(form), 105);
    RealWheel(form, form->VlcPlayer, 5);
    RealWheel(form, form->VlcPlayer, 5);
    EXPECT_EQ(form->VolumeBar->value(), 95);
    for (QWidget* over :
         {static_cast<QWidget*>(form->VolumeBar), static_cast<QWidget*>(form->LangCombo),
          static_cast<QWidget*>(form->ChannelList)}) {
        SCOPED_TRACE(over->metaObject()->className());
        form->VolumeBar->setValue(100);
        RealWheel(form, over, 5);
        EXPECT_EQ(form->VolumeBar->value(), 95);
    }
}

TEST_F(KeyboardTest, TheWheelOverAChannelListThatScrollsScrollsItAndLeavesTheVolume) {
    QByteArray list;
    for (int i = 1; i <= 60; ++i)
        list += QByteArray::number(100 + i) + ";Channel " + QByteArray::number(i) + ";en;";
    service->ScriptReply("listnew", list);
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->ChannelList->count(), 60);
    QScrollBar* bar = form->ChannelList->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    form->VolumeBar->setValue(100);

    RealWheel(form, form->ChannelList, 5);
    EXPECT_GT(bar->value(), 0);
    const int scrolled = bar->value();
    Wheel(form, form->ChannelList->viewport(), -120);
    EXPECT_GT(bar->value(), scrolled);
    const int further = bar->value();
    RealWheel(form, bar, 4);
    EXPECT_LT(bar->value(), further) << "over its scroll bar too";
    // At either end the list has nothing left to scroll; the turn still is its own.
    bar->setValue(bar->maximum());
    RealWheel(form, form->ChannelList, 5);
    bar->setValue(0);
    RealWheel(form, form->ChannelList, 4);
    EXPECT_EQ(form->VolumeBar->value(), 100);
    EXPECT_EQ(ReadLastVol(), 100);

    // Elsewhere the same window's wheel is the volume.
    RealWheel(form, form->BlackBox, 4);
    EXPECT_EQ(form->VolumeBar->value(), 105);
}

TEST_F(KeyboardTest, RightClickOnThePlayingVideoInFullScreenShowsTheCursorWhileTheMenuIsOpen) {
    TMainForm* form = StartPlaying(0);
    ASSERT_NE(form, nullptr);
    form->VlcPlayerDblClick();
    ASSERT_TRUE(form->FullScreen);
    const QCursor* cursor = QGuiApplication::overrideCursor();
    ASSERT_TRUE(cursor != nullptr && cursor->shape() == Qt::BlankCursor);
    RealClick(form, form->VlcPlayer, QPoint(200, 200), 3);
    ASSERT_TRUE(WaitUntil([form] { return form->PlayerMenu->isVisible(); }));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    P::XDoTool({"key", "Escape"});
    ASSERT_TRUE(WaitUntil([form] { return !form->PlayerMenu->isVisible(); }));
    cursor = QGuiApplication::overrideCursor();
    EXPECT_TRUE(cursor != nullptr && cursor->shape() == Qt::BlankCursor);
    EXPECT_TRUE(form->VlcPlayer->IsPlaying()) << "Escape closed the menu only";

    // A double click on the playing picture leaves full screen; the cursor is back.
    RealClick(form, form->VlcPlayer, QPoint(200, 200), 1, 2);
    ASSERT_TRUE(WaitUntil([form] { return !form->FullScreen; }));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(KeyboardTest, ThePictureKeepsShowingThroughFullScreenAndBack) {
    TMainForm* form = StartPlaying(0);
    ASSERT_NE(form, nullptr);
    auto video = [form] {
        return QRect(form->VlcPlayer->mapToGlobal(QPoint(0, 0)), form->VlcPlayer->size());
    };
    // Most of the video area shows the picture, within a generous time.
    auto picture = [&] {
        return WaitUntil(
            [&] {
                const QRect area = video();
                return CountColourfulPixels(P::GrabScreen(), area) >
                       area.width() * area.height() / 8;
            },
            20000);
    };
    EXPECT_TRUE(picture());
    const WId videoWindow = form->VlcPlayer->findChild<QWidget*>("VideoWindow")->winId();
    form->VlcPlayerDblClick();
    ASSERT_TRUE(form->FullScreen);
    EXPECT_EQ(video(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_TRUE(picture());
    form->VlcPlayerDblClick();
    ASSERT_FALSE(form->FullScreen);
    EXPECT_TRUE(picture());
    EXPECT_EQ(form->VlcPlayer->findChild<QWidget*>("VideoWindow")->winId(), videoWindow)
        << "the window the library draws into is the same";
    EXPECT_TRUE(form->VlcPlayer->IsPlaying());
}

} // namespace
