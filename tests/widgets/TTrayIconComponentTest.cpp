#include "widgets/TTrayIconComponent.h"

#include "tests/support/WaitUntil.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

// A real tray host (trayer) on the test's own X server; the icon docks into it and real
// clicks reach it.

namespace {

void Xdotool(const QStringList& arguments) {
    const int code = QProcess::execute(QStringLiteral("xdotool"), arguments);
    ASSERT_EQ(code, 0) << "this test needs xdotool (package xdotool)";
}

class TrayHost {
public:
    ~TrayHost() { Stop(); }

    void Start() {
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            << "this test needs a tray host: trayer (package trayer)";
        process.start(QStringLiteral("trayer"),
                      {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                       QStringLiteral("left"), QStringLiteral("--widthtype"),
                       QStringLiteral("request"), QStringLiteral("--height"),
                       QStringLiteral("24")});
        ASSERT_TRUE(process.waitForStarted(10000));
        ASSERT_TRUE(WaitUntil([] { return TTrayIconComponent::TrayHostAvailable(); }, 20000))
            << "trayer did not take over the tray";
    }

    void Stop() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(10000);
        EXPECT_TRUE(WaitUntil([] { return !TTrayIconComponent::TrayHostAvailable(); }, 10000));
    }

private:
    QProcess process;
};

bool Docked(const TTrayIconComponent& icon) {
    return !icon.SystemTrayIcon()->geometry().isEmpty();
}

QPoint IconCentre(const TTrayIconComponent& icon) {
    return icon.SystemTrayIcon()->geometry().center();
}

class TTrayIconComponentTest : public testing::Test {
protected:
    void SetUp() override {
        Menu.addAction(QStringLiteral("&Resume"));
        Menu.addAction(QStringLiteral("&Logout"));
        Menu.addAction(QStringLiteral("&Exit"));
        Icon.SetIcon(QIcon(QStringLiteral(":/icons/mainicon.png")));
        Icon.SetHint(QStringLiteral("Kavrien Player (anna)"));
        Icon.SetPopupMenu(&Menu);
        Icon.OnDblClick = [this] {
            ++DoubleClicks;
        };
    }

    void ShowDocked() {
        ASSERT_NO_FATAL_FAILURE(Host.Start());
        Icon.SetIconVisible(true);
        ASSERT_TRUE(WaitUntil([this] { return Docked(Icon); }, 20000)) << "the icon never docked";
        // Let the tray host settle the icon's final place before clicking it.
        ProcessEventsFor(300);
    }

    void DoubleClickIcon() {
        const QPoint at = IconCentre(Icon);
        Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                 QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                 QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")});
    }

    TrayHost Host;
    QMenu Menu;
    TTrayIconComponent Icon;
    int DoubleClicks = 0;
};

TEST_F(TTrayIconComponentTest, TheHintIsCutTo127Characters) {
    struct Case {
        QString Hint;
        bool ShowHint;
        QString Tip;
    };
    const QString long200(200, QLatin1Char('k'));
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // two UTF-16 units
    const Case cases[] = {
        {long200, true, long200.left(127)},
        {QString(127, QLatin1Char('k')), true, QString(127, QLatin1Char('k'))},
        {QString(126, QLatin1Char('k')) + emoji, true, QString(126, QLatin1Char('k'))},
        {QStringLiteral("Kavrien Player (anna)"), true, QStringLiteral("Kavrien Player (anna)")},
        {QStringLiteral("Kavrien Player (anna)"), false, QString()},
    };
    for (const Case& c : cases) {
        Icon.SetShowHint(c.ShowHint);
        Icon.SetHint(c.Hint);
        EXPECT_EQ(Icon.SystemTrayIcon()->toolTip(), c.Tip) << c.Hint.size();
        EXPECT_EQ(Icon.Hint(), c.Hint);
    }
}

TEST_F(TTrayIconComponentTest, TheIconDocksIntoTheTrayWhileVisible) {
    ASSERT_NO_FATAL_FAILURE(ShowDocked());
    EXPECT_TRUE(Icon.SystemTrayIcon()->isVisible());
    EXPECT_EQ(Icon.SystemTrayIcon()->toolTip(), QStringLiteral("Kavrien Player (anna)"));

    Icon.SetIconVisible(false);
    EXPECT_TRUE(WaitUntil([this] { return !Docked(Icon); }));
}

TEST_F(TTrayIconComponentTest, WithoutAHostShowingFailsSilentlyAndTheIconComesWithTheHost) {
    ASSERT_FALSE(TTrayIconComponent::TrayHostAvailable());
    Icon.SetIconVisible(true);
    ProcessEventsFor(300);
    EXPECT_FALSE(Docked(Icon));
    EXPECT_TRUE(Icon.IconVisible());

    ASSERT_NO_FATAL_FAILURE(Host.Start());
    EXPECT_TRUE(WaitUntil([this] { return Docked(Icon); }, 20000));
}

TEST_F(TTrayIconComponentTest, ARestartedHostGetsTheIconBackOnlyWhileItIsVisible) {
    ASSERT_NO_FATAL_FAILURE(ShowDocked());
    Host.Stop();
    ASSERT_TRUE(WaitUntil([this] { return !Docked(Icon); }));
    ASSERT_NO_FATAL_FAILURE(Host.Start());
    EXPECT_TRUE(WaitUntil([this] { return Docked(Icon); }, 20000)) << "the icon did not come back";

    // Hidden while the host restarts: it stays out of the tray.
    Icon.SetIconVisible(false);
    ASSERT_TRUE(WaitUntil([this] { return !Docked(Icon); }));
    Host.Stop();
    ASSERT_NO_FATAL_FAILURE(Host.Start());
    ProcessEventsFor(1000);
    EXPECT_FALSE(Docked(Icon));
}

TEST_F(TTrayIconComponentTest, TheRightButtonOpensTheMenuAtTheCursorAsSoonAsItGoesDown) {
    ASSERT_NO_FATAL_FAILURE(ShowDocked());
    const QPoint at = IconCentre(Icon);
    Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
             QStringLiteral("mousedown"), QStringLiteral("3")});
    ASSERT_TRUE(WaitUntil([this] { return Menu.isVisible(); }));
    EXPECT_EQ(Menu.pos(), at);
    Xdotool({QStringLiteral("mouseup"), QStringLiteral("3")});
    ProcessEventsFor(200);
    EXPECT_TRUE(Menu.isVisible()) << "letting go over the icon chooses nothing";
    EXPECT_EQ(DoubleClicks, 0);

    Xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_TRUE(WaitUntil([this] { return !Menu.isVisible(); }));
}

TEST_F(TTrayIconComponentTest, ADoubleClickRunsOnDblClickThenTheMenusDefaultItem) {
    ASSERT_NO_FATAL_FAILURE(ShowDocked());
    QStringList order;
    Icon.OnDblClick = [&] {
        order.push_back(QStringLiteral("OnDblClick"));
    };
    QAction* resume = Menu.actions().first();
    QObject::connect(resume, &QAction::triggered,
                     [&] { order.push_back(QStringLiteral("Resume")); });

    struct Case {
        const char* Name;
        bool Default;
        bool Enabled;
        QStringList Expected;
    };
    const Case cases[] = {
        {"no default item (the client's menu)", false, true, {QStringLiteral("OnDblClick")}},
        {"default item", true, true, {QStringLiteral("OnDblClick"), QStringLiteral("Resume")}},
        {"disabled", true, false, {}},
    };
    for (const Case& c : cases) {
        order.clear();
        Menu.setDefaultAction(c.Default ? resume : nullptr);
        Icon.SetEnabled(c.Enabled);
        DoubleClickIcon();
        if (c.Expected.isEmpty())
            ProcessEventsFor(500);
        else
            EXPECT_TRUE(WaitUntil([&] { return order.size() >= c.Expected.size(); })) << c.Name;
        ProcessEventsFor(100);
        EXPECT_EQ(order, c.Expected) << c.Name;
        EXPECT_FALSE(Menu.isVisible()) << c.Name;
    }
}

} // namespace
