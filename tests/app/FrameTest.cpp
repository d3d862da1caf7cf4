// The main window's frame, in-process on Qt's offscreen platform: the docked layout, the
// minimum size, the two hideable panels and their stored states, full screen, the cursor
// while menus open in full screen, and the volume bar.

#include "app/TMainForm.h"
#include "settings/Settings.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "widgets/TPopupListNotifier.h"
#include "widgets/TUnfocusedTrackBar.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

bool CursorHidden() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::BlankCursor;
}

// Where a control lies in the window, for input sent to the window as the system would.
QPoint InWindow(const QWidget* control, QPoint at) {
    return control->mapTo(control->window(), at);
}

class FrameTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TPopupListNotifier::Install();
        service = std::make_unique<TStandInService>();
    }
    static void TearDownTestSuite() { service.reset(); }

    void SetUp() override {
        ASSERT_TRUE(service->IsRunning());
        service->Reset();
        harness = std::make_unique<TMainFormHarness>(*service);
    }
    void TearDown() override {
        harness.reset();
        // Every test leaves the cursor as it found it: the hidden one is strictly paired.
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }

    // Signs in; keepStore leaves what the test wrote to the settings store before.
    TMainForm* Start(bool keepStore = false) {
        TMainFormHarness::TOptions options;
        options.ClearSettings = !keepStore;
        TMainForm* form =
            harness->SignIn(TStandInService::User, TStandInService::UserPassword, options);
        if (form != nullptr)
            WaitUntil([form] { return form->ClientArea->width() > 0 && form->isActiveWindow(); });
        return form;
    }

    // A right click as the window system delivers it, and a click on a menu item.
    static void OpenPlayerMenuOver(TMainForm* form, QWidget* control) {
        QTest::mouseClick(form->windowHandle(), Qt::RightButton, {},
                          InWindow(control, control->rect().center()));
        ASSERT_TRUE(WaitUntil([form] { return form->PlayerMenu->isVisible(); }));
    }
    static void Choose(QMenu* menu, QAction* item) {
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {},
                          menu->actionGeometry(item).center());
        ASSERT_TRUE(WaitUntil([menu] { return !menu->isVisible(); }));
    }
    static void DoubleClick(TMainForm* form, QWidget* control) {
        QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {},
                           InWindow(control, control->rect().center()));
        ProcessEventsFor(50);
    }

    static std::unique_ptr<TStandInService> service;
    std::unique_ptr<TMainFormHarness> harness;
};

std::unique_ptr<TStandInService> FrameTest::service;

TEST_F(FrameTest, TheDesignSizeGivesAClientWidthOf1121AndTheRightHandControlsFollowIt) {
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    // 1137 x 657 outside with the design's frame is this window size inside it.
    EXPECT_EQ(form->size(), QSize(1137 - 16, 657 - 39));
    const int W = form->ClientArea->width();
    ASSERT_EQ(W, 1121);
    EXPECT_EQ(form->PlayerPanel->width(), 1121);
    ASSERT_NE(form->VolumeBar, nullptr);
    EXPECT_EQ(form->VolumeBar->x(), 763);
    EXPECT_EQ(form->Button2->x(), 1095);
    EXPECT_EQ(form->VolumeBar->geometry().size(), QSize(142, 25));
    EXPECT_EQ(form->VolumeBar->y(), 8);
    EXPECT_EQ(form->ConnStateLed->x(), W - 25 - 33);
    EXPECT_EQ(form->Label2->x(), W - form->Label2->width() - 73);
    EXPECT_EQ(form->VolPercentLabel->x(), W - form->VolPercentLabel->width() - 173);
    EXPECT_EQ(form->Label3->x(), W - form->Label3->width() - 373);

    // A wider window moves them with its edge.
    form->resize(1400, 700);
    ASSERT_TRUE(WaitUntil([form] { return form->ClientArea->width() == 1400; }));
    EXPECT_EQ(form->VolumeBar->x(), 1400 - 142 - 216);
    EXPECT_EQ(form->Button2->x(), 1400 - 24 - 2);
}

struct TDocking {
    bool ChannelList;
    bool PlayerControls;
};

void PrintTo(const TDocking& docking, std::ostream* os) {
    *os << (docking.ChannelList ? "list" : "no list") << ", "
        << (docking.PlayerControls ? "controls" : "no controls");
}

class FrameDockingTest : public FrameTest, public testing::WithParamInterface<TDocking> {};

TEST_P(FrameDockingTest, PanelsDockLeftAndBottomAndTheVideoAreaWithItsLogoTakesTheRest) {
    const TDocking docking = GetParam();
    TestEnvironment::ClearSettingsStore();
    WriteStatusPanelState(docking.ChannelList);
    WritePlayerControlsState(docking.PlayerControls);
    TMainForm* form = Start(true);
    ASSERT_NE(form, nullptr);
    const int W = form->ClientArea->width();
    const int H = form->ClientArea->height();
    const int bottom = docking.PlayerControls ? 42 : 0;
    const int left = docking.ChannelList ? 281 : 0;
    EXPECT_EQ(form->StatusPanel->isVisible(), docking.ChannelList);
    EXPECT_EQ(form->PlayerPanel->isVisible(), docking.PlayerControls);
    if (docking.ChannelList) {
        EXPECT_EQ(form->StatusPanel->geometry(), QRect(0, 0, 281, H - bottom));
        EXPECT_EQ(form->ChannelList->geometry(), QRect(2, 28, 277, H - bottom - 113));
        EXPECT_EQ(form->GroupBox1->y(), 28 + (H - bottom - 113) + 7);
    }
    if (docking.PlayerControls) {
        EXPECT_EQ(form->PlayerPanel->geometry(), QRect(0, H - 42, W, 42));
    }
    const QRect video(left, 0, W - left, H - bottom);
    EXPECT_EQ(form->BlackBox->geometry(), video);
    EXPECT_EQ(form->PlayerLogoPanel->geometry(),
              QRect(left + video.width() / 2 - 64, video.height() / 2 - 64, 128, 128));
    EXPECT_TRUE(form->PlayerLogoPanel->isVisible());
    EXPECT_FALSE(form->PlayerLogo->pixmap().isNull());
}

INSTANTIATE_TEST_SUITE_P(Panels, FrameDockingTest,
                         testing::Values(TDocking{true, true}, TDocking{false, true},
                                         TDocking{true, false}, TDocking{false, false}),
                         [](const testing::TestParamInfo<TDocking>& info) {
                             return std::string(info.param.ChannelList ? "List" : "NoList") +
                                    (info.param.PlayerControls ? "Controls" : "NoControls");
                         });

TEST_F(FrameTest, TheWindowDoesNotGetSmallerThan950x645Outside) {
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    form->resize(400, 300);
    ProcessEventsFor(50);
    EXPECT_EQ(form->size(), QSize(950 - 16, 645 - 39));
    EXPECT_EQ(form->VolumeBar->x(), form->ClientArea->width() - 142 - 216);
}

TEST_F(FrameTest, HidingTheChannelListStoresItAtOnceAndTheNextStartBeginsWithoutIt) {
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->StatusPanel->isVisible());
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
                      InWindow(form->Button1, form->Button1->rect().center()));
    ASSERT_TRUE(WaitUntil([form] { return !form->StatusPanel->isVisible(); }));
    EXPECT_FALSE(form->ShowStatusPanel1->isChecked());
    EXPECT_FALSE(form->ShowStatusPanel2->isChecked());
    EXPECT_FALSE(ReadStatusPanelState()) << "stored at once, not at exit";
    EXPECT_TRUE(ReadPlayerControlsState());

    harness->Destroy();
    form = Start(true);
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->StatusPanel->isVisible());
    EXPECT_FALSE(form->ShowStatusPanel1->isChecked());
    EXPECT_EQ(form->BlackBox->x(), 0);
    EXPECT_EQ(form->BlackBox->width(), 1121);
    EXPECT_EQ(form->PlayerLogoPanel->x(), 1121 / 2 - 64);
}

// Every way of toggling a panel: the pair of check marks follows, the store follows.
struct TToggle {
    const char* Name;
    bool ChannelList; // else the player controls
    enum { XButton, MenuBar, PlayerMenu } Way;
};

void PrintTo(const TToggle& toggle, std::ostream* os) {
    *os << toggle.Name;
}

class FramePanelToggleTest : public FrameTest, public testing::WithParamInterface<TToggle> {};

TEST_P(FramePanelToggleTest, TogglesThePanelBothCheckMarksAndTheStoredState) {
    const TToggle toggle = GetParam();
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    QWidget* panel = toggle.ChannelList ? form->StatusPanel : form->PlayerPanel;
    QAction* menuBarItem = toggle.ChannelList ? form->ShowStatusPanel1 : form->ShowPlayerControls2;
    QAction* playerMenuItem =
        toggle.ChannelList ? form->ShowStatusPanel2 : form->ShowPlayerControls1;
    auto stored = [&] {
        return toggle.ChannelList ? ReadStatusPanelState() : ReadPlayerControlsState();
    };
    auto act = [&] {
        switch (toggle.Way) {
        case TToggle::XButton: {
            QPushButton* button = toggle.ChannelList ? form->Button1 : form->Button2;
            if (!button->isVisible())
                return menuBarItem->trigger(); // the "X" went with its panel
            QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
                              InWindow(button, button->rect().center()));
            break;
        }
        case TToggle::MenuBar:
            menuBarItem->trigger();
            break;
        case TToggle::PlayerMenu:
            OpenPlayerMenuOver(form, form->BlackBox);
            Choose(form->PlayerMenu, playerMenuItem);
            break;
        }
        ProcessEventsFor(50);
    };
    for (bool expected : {false, true}) {
        act();
        EXPECT_EQ(panel->isVisible(), expected);
        EXPECT_EQ(menuBarItem->isChecked(), expected);
        EXPECT_EQ(playerMenuItem->isChecked(), expected);
        EXPECT_EQ(stored(), expected);
    }
    // While exiting, a change is shown but not stored.
    form->Exiting = true;
    menuBarItem->trigger();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(stored());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, FramePanelToggleTest,
    testing::Values(TToggle{"ListByX", true, TToggle::XButton},
                    TToggle{"ListByMenuBar", true, TToggle::MenuBar},
                    TToggle{"ListByPlayerMenu", true, TToggle::PlayerMenu},
                    TToggle{"ControlsByX", false, TToggle::XButton},
                    TToggle{"ControlsByMenuBar", false, TToggle::MenuBar},
                    TToggle{"ControlsByPlayerMenu", false, TToggle::PlayerMenu}),
    [](const testing::TestParamInfo<TToggle>& info) { return std::string(info.param.Name); });

TEST_F(FrameTest, FullScreenInAndOutRestoresBoundsMenuBarAndPanelsAndStoresNothing) {
    TestEnvironment::ClearSettingsStore();
    WritePlayerControlsState(false);
    TMainForm* form = Start(true);
    ASSERT_NE(form, nullptr);
    const QRect bounds(40, 30, 1000, 640);
    form->setGeometry(bounds);
    ASSERT_TRUE(WaitUntil([&] { return form->geometry() == bounds; }));
    const Qt::WindowFlags flags = form->windowHandle()->flags();

    DoubleClick(form, form->BlackBox);
    ASSERT_TRUE(form->FullScreen);
    EXPECT_TRUE(form->windowHandle()->flags() & Qt::FramelessWindowHint);
    // The whole primary screen, also when it is smaller than the framed window's minimum
    // (the offscreen screen is 800 x 800).
    EXPECT_EQ(form->geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_FALSE(form->menuBar()->isVisible());
    EXPECT_FALSE(form->StatusPanel->isVisible());
    EXPECT_FALSE(form->PlayerPanel->isVisible());
    EXPECT_TRUE(form->Fullscreen1->isChecked());
    EXPECT_FALSE(form->ShowStatusPanel2->isChecked());
    EXPECT_EQ(form->ClientArea->geometry(), QRect(QPoint(0, 0), form->size()));
    EXPECT_EQ(form->BlackBox->geometry(), QRect(QPoint(0, 0), form->size()));
    EXPECT_TRUE(CursorHidden());
    EXPECT_TRUE(ReadStatusPanelState());
    EXPECT_FALSE(ReadPlayerControlsState());

    DoubleClick(form, form->PlayerLogo);
    ASSERT_FALSE(form->FullScreen);
    EXPECT_EQ(form->geometry(), bounds);
    EXPECT_EQ(form->windowHandle()->flags(), flags);
    EXPECT_EQ(form->minimumSize(), QSize(950 - 16, 645 - 39));
    EXPECT_TRUE(form->menuBar()->isVisible());
    EXPECT_TRUE(form->StatusPanel->isVisible());
    EXPECT_FALSE(form->PlayerPanel->isVisible());
    EXPECT_FALSE(form->Fullscreen1->isChecked());
    EXPECT_FALSE(CursorHidden());
    EXPECT_TRUE(ReadStatusPanelState());
    EXPECT_FALSE(ReadPlayerControlsState());
    EXPECT_EQ(form->BlackBox->geometry(), QRect(281, 0, 1000 - 281, form->ClientArea->height()));
}

TEST_F(FrameTest, AMaximizedWindowIsMaximizedAgainAfterFullScreen) {
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    form->showMaximized();
    ASSERT_TRUE(WaitUntil([form] { return form->isMaximized(); }));
    form->Fullscreen1->trigger();
    ASSERT_TRUE(form->FullScreen);
    EXPECT_FALSE(form->isMaximized());
    EXPECT_EQ(form->geometry(), QGuiApplication::primaryScreen()->geometry());
    form->Fullscreen1->trigger();
    ASSERT_FALSE(form->FullScreen);
    EXPECT_TRUE(form->isMaximized());
}

TEST_F(FrameTest, APanelShownFromThePlayerMenuInFullScreenIsNotKeptAfterwards) {
    TestEnvironment::ClearSettingsStore();
    WriteStatusPanelState(false);
    TMainForm* form = Start(true);
    ASSERT_NE(form, nullptr);
    form->VlcPlayerDblClick();
    ASSERT_TRUE(form->FullScreen);
    ASSERT_TRUE(CursorHidden());

    OpenPlayerMenuOver(form, form->BlackBox);
    EXPECT_FALSE(CursorHidden()) << "shown while the menu is open";
    Choose(form->PlayerMenu, form->ShowStatusPanel2);
    EXPECT_TRUE(form->StatusPanel->isVisible());
    EXPECT_TRUE(form->ShowStatusPanel1->isChecked());
    EXPECT_FALSE(CursorHidden()) << "shown while a panel is";
    EXPECT_FALSE(ReadStatusPanelState());

    // Hidden again from its "X": both panels hidden, the cursor goes too.
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
                      InWindow(form->Button1, form->Button1->rect().center()));
    ASSERT_TRUE(WaitUntil([form] { return !form->StatusPanel->isVisible(); }));
    EXPECT_TRUE(CursorHidden());
    OpenPlayerMenuOver(form, form->PlayerLogo);
    Choose(form->PlayerMenu, form->ShowPlayerControls1);
    EXPECT_TRUE(form->PlayerPanel->isVisible());
    EXPECT_FALSE(CursorHidden());
    EXPECT_TRUE(ReadPlayerControlsState());

    OpenPlayerMenuOver(form, form->BlackBox);
    Choose(form->PlayerMenu, form->Fullscreen1);
    ASSERT_FALSE(form->FullScreen);
    EXPECT_FALSE(form->StatusPanel->isVisible()) << "the state from before full screen";
    EXPECT_TRUE(form->PlayerPanel->isVisible());
    EXPECT_FALSE(ReadStatusPanelState());
    EXPECT_TRUE(ReadPlayerControlsState());
    EXPECT_FALSE(CursorHidden());
}

TEST_F(FrameTest, ClosingAMenuInFullScreenWithBothPanelsHiddenHidesTheCursorAgain) {
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    // Outside full screen a menu changes nothing.
    OpenPlayerMenuOver(form, form->BlackBox);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QTest::keyClick(form->PlayerMenu->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(WaitUntil([form] { return !form->PlayerMenu->isVisible(); }));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    form->VlcPlayerDblClick();
    ASSERT_TRUE(CursorHidden());
    for (QWidget* over : {form->BlackBox, static_cast<QWidget*>(form->PlayerLogo)}) {
        OpenPlayerMenuOver(form, over);
        EXPECT_FALSE(CursorHidden());
        QTest::keyClick(form->PlayerMenu->windowHandle(), Qt::Key_Escape);
        ASSERT_TRUE(WaitUntil([form] { return !form->PlayerMenu->isVisible(); }));
        EXPECT_TRUE(CursorHidden());
    }
    form->VlcPlayerDblClick();
    EXPECT_FALSE(CursorHidden());
}

TEST_F(FrameTest, AStoredVolumeOf250ShowsAs200AndStaysStoredUntilThePositionChanges) {
    TestEnvironment::ClearSettingsStore();
    WriteLastVol(250);
    TMainForm* form = Start(true);
    ASSERT_NE(form, nullptr);
    ASSERT_NE(form->VolumeBar, nullptr);
    EXPECT_EQ(form->VolumeBar->minimum(), 0);
    EXPECT_EQ(form->VolumeBar->maximum(), 200);
    EXPECT_EQ(form->VolumeBar->value(), 200);
    EXPECT_EQ(form->VolPercentLabel->text(), "200 %");
    EXPECT_EQ(ReadLastVol(), 250);
    form->VolumeBar->setValue(200);
    EXPECT_EQ(ReadLastVol(), 250) << "the same position is no change";

    form->VolumeBar->setValue(37);
    EXPECT_EQ(ReadLastVol(), 37);
    EXPECT_EQ(form->VolPercentLabel->text(), "37 %");
}

TEST_F(FrameTest, TheVolumeBarComesWithTheFirstActivation) {
    TestEnvironment::ClearSettingsStore();
    WriteLastVol(60);
    TMainFormHarness::TOptions options;
    options.ClearSettings = false;
    options.Show = false;
    TMainForm* form =
        harness->SignIn(TStandInService::User, TStandInService::UserPassword, options);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->VolumeBar, nullptr);
    EXPECT_EQ(form->VolPercentLabel->text(), "100 %");
    // Keys and the wheel leave the volume alone until then.
    form->FormKeyDown(Qt::Key_Right, Qt::NoModifier);
    form->WheelVolume(-120);
    EXPECT_EQ(ReadLastVol(), 60);

    form->show();
    form->activateWindow();
    ASSERT_TRUE(harness->WaitForChannelList());
    ASSERT_NE(form->VolumeBar, nullptr);
    EXPECT_EQ(form->VolumeBar->value(), 60);
    EXPECT_EQ(form->VolPercentLabel->text(), "60 %");
    EXPECT_EQ(form->VolumeBar->x(), form->PlayerPanel->width() - 142 - 216);
}

TEST_F(FrameTest, PicturesOfTheButtonsMenusAndLamps) {
    TMainForm* form = Start();
    ASSERT_NE(form, nullptr);
    for (QPushButton* button : {form->PlayBtn, form->PrevBtn, form->StopChanBtn, form->NextBtn}) {
        EXPECT_FALSE(button->icon().isNull());
        // The light grey around the symbol is transparent.
        const QImage glyph = button->icon().pixmap(32, 32).toImage();
        EXPECT_EQ(qAlpha(glyph.pixel(0, 31)), 0);
        EXPECT_EQ(qAlpha(glyph.pixel(16, 16)), 255);
    }
    ASSERT_EQ(form->MenuImgList.size(), 4);
    for (QAction* item : {form->Play1, form->Stop1, form->Previous1, form->Next1}) {
        const QImage image = item->icon().pixmap(16, 16).toImage();
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(8, 8)), 255);
    }
    EXPECT_FALSE(form->LedIdleImage.isNull());
    EXPECT_FALSE(form->LedBusyImage.isNull());
    EXPECT_FALSE(form->LedFailedImage.isNull());
    EXPECT_EQ(form->ConnStateLed->pixmap().toImage(), form->LedIdleImage.toImage());
}

} // namespace
