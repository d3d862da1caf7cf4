#include "platform/TToolTipFilter.h"

#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

const QString kThreeLines = QStringLiteral("first line\rsecond line\rthird line");

// Asks the widget for its tooltip as the mouse resting over it does, and gives the text
// the tooltip then shows.
QString ShownTip(QWidget* widget) {
    QToolTip::hideText();
    WaitUntil([] { return !QToolTip::isVisible(); }, 2000);
    const QPoint local = widget->rect().center();
    QHelpEvent event(QEvent::ToolTip, local, widget->mapToGlobal(local));
    QApplication::sendEvent(widget, &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

class TToolTipFilterTest : public testing::Test {
protected:
    void SetUp() override {
        window.resize(200, 100);
        label = new QLabel(QStringLiteral("hint"), &window);
        label->setGeometry(10, 10, 100, 30);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget window;
    QLabel* label = nullptr;
};

TEST_F(TToolTipFilterTest, QtAloneShowsACarriageReturnAsNoLineBreak) {
    // Why the filter exists; the order matters, since it is installed for good below.
    label->setToolTip(kThreeLines);
    EXPECT_EQ(ShownTip(label), kThreeLines);
}

TEST_F(TToolTipFilterTest, CarriageReturnsBreakTheShownLinesAndTheHintStaysAsSet) {
    TToolTipFilter::Install();
    TToolTipFilter::Install(); // a second call changes nothing

    label->setToolTip(kThreeLines);
    EXPECT_EQ(ShownTip(label), QStringLiteral("first line\nsecond line\nthird line"));
    EXPECT_EQ(label->toolTip(), kThreeLines);

    // A control without a hint of its own shows its parent's, broken the same way.
    label->setToolTip(QString());
    window.setToolTip(QStringLiteral("a\r\nb\rc"));
    EXPECT_EQ(ShownTip(label), QStringLiteral("a\nb\nc"));

    // Hints without carriage returns are Qt's own business.
    label->setToolTip(QStringLiteral("Select audio language."));
    EXPECT_EQ(ShownTip(label), QStringLiteral("Select audio language."));
}

} // namespace
