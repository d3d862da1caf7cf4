#include "widgets/TPopupListNotifier.h"

#include "platform/TWindowMessage.h"
#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

// Real input under the test's own X server: the menus open and close as a user makes them.

namespace {

// Sends real input through the X server; the toolkit sees it as it sees a user's.
void Xdotool(const QStringList& arguments) {
    const int code = QProcess::execute(QStringLiteral("xdotool"), arguments);
    ASSERT_EQ(code, 0) << "this test needs xdotool (package xdotool)";
}

void ClickAt(const QPoint& global, int button) {
    Xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y()),
             QStringLiteral("click"), QString::number(button)});
}

void Key(const QString& key) {
    Xdotool({QStringLiteral("key"), key});
}

enum class TOpenBy { Exec, Popup };

// A main window with a menu bar and a context menu; it writes down the popup notices it
// receives and the menu items that run, in order.
class NoticeWindow : public QMainWindow {
public:
    NoticeWindow() {
        ContextMenu = new QMenu(this);
        Submenu = ContextMenu->addMenu(QStringLiteral("&More"));
        Submenu->addAction(QStringLiteral("&Inner"));
        QAction* play = ContextMenu->addAction(QStringLiteral("&Play"));
        connect(play, &QAction::triggered, this, [this] { Log.push_back(QStringLiteral("Play")); });

        BarMenu = menuBar()->addMenu(QStringLiteral("&Options"));
        BarSubmenu = BarMenu->addMenu(QStringLiteral("&More"));
        BarSubmenu->addAction(QStringLiteral("&Inner"));
        BarMenu->addAction(QStringLiteral("&Options..."));

        setCentralWidget(new QWidget(this));
        setGeometry(100, 100, 400, 300);
    }

    // Two presses of one button at one spot within the double-click time make a double
    // click, which opens no context menu; so each right click goes to a spot of its own.
    QPoint ClickPoint() const {
        static int clicks = 0;
        const QPoint spot = centralWidget()->rect().center() + QPoint((clicks++ % 8) * 20 - 80, 0);
        return centralWidget()->mapToGlobal(spot);
    }

    bool event(QEvent* event) override {
        if (TWindowMessage* message = TWindowMessage::From(event)) {
            Log.push_back(QString::number(message->Msg()));
            message->Result = 0;
            return true;
        }
        return QMainWindow::event(event);
    }

    void contextMenuEvent(QContextMenuEvent* event) override {
        if (OpenBy == TOpenBy::Exec)
            ContextMenu->exec(event->globalPos());
        else
            ContextMenu->popup(event->globalPos());
    }

    TOpenBy OpenBy = TOpenBy::Exec;
    QMenu* ContextMenu;
    QMenu* Submenu;
    QMenu* BarMenu;
    QMenu* BarSubmenu;
    QStringList Log;
};

// Steps that run from a timer, so that they also run inside the nested loop of
// QMenu::exec: each waits for its condition, then acts.
class Script : public QObject {
public:
    struct Step {
        std::function<bool()> Ready;
        std::function<void()> Act;
    };

    explicit Script(std::vector<Step> steps) : steps(std::move(steps)) {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (next < this->steps.size() && this->steps[next].Ready()) {
                // The step may run the event loop; it must not start again meanwhile.
                const size_t current = next++;
                this->steps[current].Act();
            }
        });
        timer.start(30);
    }

    bool Done() const { return next == steps.size(); }

private:
    std::vector<Step> steps;
    size_t next = 0;
    QTimer timer;
};

const QString kEnter = QString::number(WM_POPUPMENU_ENTER);
const QString kClosed = QString::number(WM_POPUPMENU_CLOSED);
const QString kExit = QString::number(WM_POPUPMENU_EXIT);

class TPopupListNotifierTest : public testing::TestWithParam<TOpenBy> {
protected:
    void SetUp() override {
        TPopupListNotifier::Install();
        window.OpenBy = GetParam();
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    NoticeWindow window;
};

TEST_P(TPopupListNotifierTest, AContextMenuAndItsSubmenuMakeOneLoop) {
    QStringList withSubmenu, afterSubmenu;
    Script script({
        {[this] { return window.ContextMenu->isVisible(); },
         [] {
             Key(QStringLiteral("Down")); // "&More"
             Key(QStringLiteral("Right"));
         }},
        {[this] { return window.Submenu->isVisible(); },
         [&] {
             withSubmenu = window.Log;
             Key(QStringLiteral("Escape"));
         }},
        {[this] { return !window.Submenu->isVisible(); },
         [&] {
             afterSubmenu = window.Log;
             EXPECT_TRUE(window.ContextMenu->isVisible());
             Key(QStringLiteral("Escape"));
         }},
    });
    ClickAt(window.ClickPoint(), 3);
    ASSERT_TRUE(WaitUntil([&] { return script.Done() && !window.ContextMenu->isVisible(); }));
    ASSERT_TRUE(WaitUntil([&] { return window.Log.size() >= 3; }, 2000));

    EXPECT_EQ(withSubmenu, QStringList{kEnter});
    EXPECT_EQ(afterSubmenu, QStringList{kEnter});
    EXPECT_EQ(window.Log, (QStringList{kEnter, kClosed, kExit}));
}

TEST_P(TPopupListNotifierTest, AChosenItemRunsAfterTheClosingNotices) {
    Script script({
        {[this] { return window.ContextMenu->isVisible(); },
         [this] {
             QAction* play = window.ContextMenu->actions().at(1);
             const QRect item = window.ContextMenu->actionGeometry(play);
             ClickAt(window.ContextMenu->mapToGlobal(item.center()), 1);
         }},
    });
    ClickAt(window.ClickPoint(), 3);
    ASSERT_TRUE(WaitUntil([&] { return window.Log.contains(QStringLiteral("Play")); }));

    EXPECT_EQ(window.Log, (QStringList{kEnter, kClosed, kExit, QStringLiteral("Play")}));
}

TEST_P(TPopupListNotifierTest, MenuBarMenusAndTheirSubmenusSendNothing) {
    bool sawSubmenu = false;
    Script script({
        {[this] { return window.BarMenu->isVisible(); },
         [] {
             Key(QStringLiteral("Down"));
             Key(QStringLiteral("Right"));
         }},
        {[this] { return window.BarSubmenu->isVisible(); },
         [&] {
             sawSubmenu = true;
             Key(QStringLiteral("Escape"));
         }},
        {[this] { return !window.BarSubmenu->isVisible(); },
         [] {
             Key(QStringLiteral("Escape"));
         }},
    });
    QAction* options = window.BarMenu->menuAction();
    const QRect title = window.menuBar()->actionGeometry(options);
    ClickAt(window.menuBar()->mapToGlobal(title.center()), 1);
    ASSERT_TRUE(WaitUntil([&] { return script.Done() && !window.BarMenu->isVisible(); }));
    ProcessEventsFor(200);

    EXPECT_TRUE(sawSubmenu);
    EXPECT_TRUE(window.Log.isEmpty()) << window.Log.join(QLatin1Char(' ')).toStdString();

    // A context menu afterwards reports as usual: the menu bar left nothing behind.
    window.OpenBy = TOpenBy::Popup;
    ClickAt(window.ClickPoint(), 3);
    ASSERT_TRUE(WaitUntil([&] { return window.ContextMenu->isVisible(); }));
    Key(QStringLiteral("Escape"));
    ASSERT_TRUE(WaitUntil([&] { return window.Log.size() == 3; }));
    EXPECT_EQ(window.Log, (QStringList{kEnter, kClosed, kExit}));
}

INSTANTIATE_TEST_SUITE_P(OpenedBy, TPopupListNotifierTest,
                         testing::Values(TOpenBy::Exec, TOpenBy::Popup),
                         [](const testing::TestParamInfo<TOpenBy>& info) {
                             return info.param == TOpenBy::Exec ? "Exec" : "Popup";
                         });

TEST(TPopupListNotifierAlone, WithoutAnActiveWindowNothingIsSent) {
    TPopupListNotifier::Install();
    NoticeWindow window; // never shown, so never active
    ASSERT_TRUE(WaitUntil([] { return QApplication::activeWindow() == nullptr; }));
    QMenu menu;
    menu.addAction(QStringLiteral("&Resume"));
    menu.popup(QPoint(200, 200));
    ASSERT_TRUE(WaitUntil([&] { return menu.isVisible(); }));
    menu.hide();
    ProcessEventsFor(100);
    EXPECT_TRUE(window.Log.isEmpty());
}

TEST(TPopupListNotifierAlone, AMenuDestroyedWhileOpenEndsItsLoop) {
    TPopupListNotifier::Install();
    NoticeWindow window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* menu = new QMenu(&window);
    menu->addAction(QStringLiteral("&Stop"));
    menu->popup(window.ClickPoint());
    ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
    delete menu;
    EXPECT_EQ(window.Log, (QStringList{kEnter, kClosed, kExit}));
}

} // namespace
