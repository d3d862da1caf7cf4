#include "widgets/TUnfocusedTrackBar.h"

#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

// Real mouse, wheel and keys under the test's own X server.

namespace {

void Xdotool(const QStringList& arguments) {
    const int code = QProcess::execute(QStringLiteral("xdotool"), arguments);
    ASSERT_EQ(code, 0) << "this test needs xdotool (package xdotool)";
}

QStringList MoveTo(const QPoint& global) {
    return {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())};
}

// A window as the main window has it: a list that holds the keys, the bar beside it.
class TrackBarWindow : public QWidget {
public:
    TrackBarWindow() {
        auto* layout = new QVBoxLayout(this);
        List = new QListWidget(this);
        for (int row = 0; row < 10; ++row)
            List->addItem(QStringLiteral("channel %1").arg(row));
        List->setCurrentRow(0);
        Bar = new TUnfocusedTrackBar(this);
        Bar->setRange(0, 200);
        Bar->setValue(100);
        Bar->SetTickStyle(TTickStyle::None);
        Bar->SetThumbLength(23);
        Bar->setFixedSize(142, 25);
        layout->addWidget(List);
        layout->addWidget(Bar);
        setGeometry(100, 100, 300, 300);
        show();
        activateWindow();
        List->setFocus();
    }

    QRect HandleRect() const {
        QStyleOptionSlider option;
        option.initFrom(Bar);
        option.orientation = Bar->orientation();
        option.minimum = Bar->minimum();
        option.maximum = Bar->maximum();
        option.sliderPosition = Bar->sliderPosition();
        option.sliderValue = Bar->value();
        option.tickPosition = Bar->tickPosition();
        option.subControls = QStyle::SC_All;
        return Bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                            Bar);
    }

    void wheelEvent(QWheelEvent* event) override {
        ++WheelTurns;
        event->accept();
    }

    QListWidget* List;
    TUnfocusedTrackBar* Bar;
    int WheelTurns = 0;
};

class TUnfocusedTrackBarTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_TRUE(WaitUntil([this] { return window.List->hasFocus(); }));
    }

    TrackBarWindow window;
};

TEST_F(TUnfocusedTrackBarTest, DraggingTheThumbMovesItAndLeavesTheKeysWithTheList) {
    QSignalSpy changes(window.Bar, &QSlider::valueChanged);
    const QPoint grip = window.Bar->mapToGlobal(window.HandleRect().center());
    Xdotool(MoveTo(grip) << QStringLiteral("mousedown") << QStringLiteral("1"));
    ASSERT_TRUE(WaitUntil([this] { return window.Bar->isSliderDown(); }));
    EXPECT_TRUE(window.List->hasFocus()) << "the press handed the focus back";
    Xdotool(MoveTo(grip + QPoint(15, 0)));
    Xdotool(MoveTo(grip + QPoint(30, 0)) << QStringLiteral("mouseup") << QStringLiteral("1"));
    ASSERT_TRUE(WaitUntil([this] { return !window.Bar->isSliderDown(); }));

    EXPECT_GT(window.Bar->value(), 100);
    EXPECT_FALSE(changes.isEmpty());
    EXPECT_TRUE(window.List->hasFocus());
    EXPECT_FALSE(window.Bar->hasFocus());

    // The keys reach the list, not the bar.
    const int position = window.Bar->value();
    Xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Right")});
    EXPECT_TRUE(WaitUntil([this] { return window.List->currentRow() == 1; }));
    ProcessEventsFor(100);
    EXPECT_EQ(window.Bar->value(), position);
}

TEST_F(TUnfocusedTrackBarTest, TabOntoTheBarLeavesTheFocusWhereItWas) {
    Xdotool({QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("Down")});
    EXPECT_TRUE(WaitUntil([this] { return window.List->currentRow() == 1; }));
    EXPECT_TRUE(window.List->hasFocus());
    EXPECT_EQ(window.Bar->value(), 100);
}

TEST_F(TUnfocusedTrackBarTest, WheelTurnsOverTheBarGoToTheWindow) {
    // Over the groove, away from the thumb.
    const QPoint over = window.Bar->mapToGlobal(QPoint(10, window.Bar->height() / 2));
    Xdotool(MoveTo(over) << QStringLiteral("click") << QStringLiteral("4"));
    EXPECT_TRUE(WaitUntil([this] { return window.WheelTurns == 1; }));
    ProcessEventsFor(100);
    EXPECT_EQ(window.Bar->value(), 100);
    EXPECT_TRUE(window.List->hasFocus());
}

TEST_F(TUnfocusedTrackBarTest, TheProgramMovesTheBarAndItKeepsItsRange) {
    QSignalSpy changes(window.Bar, &QSlider::valueChanged);
    window.Bar->setValue(250);
    EXPECT_EQ(window.Bar->value(), 200);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.first().first().toInt(), 200);
    EXPECT_TRUE(window.List->hasFocus());
}

TEST(TUnfocusedTrackBarAlone, FocusFromNoWidgetStaysOnTheBar) {
    // The window's only control: activating the window gives it the focus from nowhere.
    QWidget window;
    auto* bar = new TUnfocusedTrackBar(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    bar->setFocus();
    EXPECT_TRUE(WaitUntil([bar] { return bar->hasFocus(); }, 2000));
}

TEST(TUnfocusedTrackBarAlone, DefaultsAreThoseOfATrackBar) {
    TUnfocusedTrackBar bar;
    EXPECT_EQ(bar.orientation(), Qt::Horizontal);
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 10);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.singleStep(), 1);
    EXPECT_EQ(bar.pageStep(), 2);
    EXPECT_EQ(bar.ThumbLength(), 20);
    EXPECT_EQ(bar.tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(bar.focusPolicy() & Qt::TabFocus, Qt::TabFocus);

    EXPECT_EQ(bar.TickStyle(), TTickStyle::Auto);
    bar.SetTickStyle(TTickStyle::None);
    EXPECT_EQ(bar.tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(bar.TickStyle(), TTickStyle::None);
}

TEST(TUnfocusedTrackBarAlone, TheThumbIsDrawnAsThickAsAsked) {
    TrackBarWindow window; // thumb length 23, no ticks, 25 high
    const QRect handle = window.HandleRect();
    EXPECT_EQ(handle.height(), 23);
    EXPECT_GE(handle.top(), 0);
    EXPECT_LE(handle.bottom(), window.Bar->height() - 1);
}

} // namespace
