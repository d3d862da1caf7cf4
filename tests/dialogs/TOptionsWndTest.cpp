#include "dialogs/TOptionsWnd.h"

#include "tests/support/WaitUntil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TOptionsWndTest : public testing::Test {
protected:
    // Opens the dialog without blocking; finished() tells how it closed.
    void Open() {
        dialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    QWidget* Focused() const { return QApplication::focusWidget(); }

    TOptionsWnd dialog;
    QSignalSpy finished{&dialog, &QDialog::finished};
};

TEST_F(TOptionsWndTest, LayoutCaptionsAndFonts) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(dialog.size(), QSize(234, 319));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed size";
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowContextHelpButtonHint));

    struct Placed {
        const char* Name;
        QWidget* Control;
        QRect Bounds;
    };
    const Placed placed[] = {
        {"OptionsBox", dialog.OptionsBox, {9, 8, 216, 265}},
        {"PrefLang", dialog.PrefLang, {16, 48, 185, 24}},
        {"OkBtn", dialog.OkBtn, {8, 288, 105, 25}},
        {"CancelBtn", dialog.CancelBtn, {120, 288, 105, 25}},
    };
    for (const Placed& p : placed)
        EXPECT_EQ(p.Control->geometry(), p.Bounds) << p.Name;
    // The check boxes stand where designed and keep their captions whole in the fallback
    // font, growing to the right but not past the edit above them.
    const Placed boxes[] = {
        {"WatchFullScreen", dialog.WatchFullScreen, {16, 160, 129, 17}},
        {"StopOnExit", dialog.StopOnExit, {16, 196, 129, 17}},
        {"UseSourceStream", dialog.UseSourceStream, {16, 232, 145, 17}},
    };
    for (const Placed& p : boxes) {
        EXPECT_EQ(p.Control->pos(), p.Bounds.topLeft()) << p.Name;
        EXPECT_GE(p.Control->width(), std::min(p.Control->sizeHint().width(), 185)) << p.Name;
        EXPECT_GE(p.Control->width(), p.Bounds.width()) << p.Name;
        EXPECT_LE(p.Control->geometry().right(), 16 + 185 - 1) << p.Name;
        EXPECT_GE(p.Control->height(), p.Bounds.height()) << p.Name;
    }
    EXPECT_EQ(dialog.AspectCombo->pos(), QPoint(16, 113));
    EXPECT_EQ(dialog.AspectCombo->width(), 185);
    EXPECT_EQ(dialog.Label5->pos(), QPoint(16, 20));
    EXPECT_EQ(dialog.Label1->pos(), QPoint(16, 84));
    for (QWidget* inside : dialog.OptionsBox->findChildren<QWidget*>())
        EXPECT_EQ(inside->parentWidget(), dialog.OptionsBox);

    EXPECT_EQ(dialog.Label5->text(), QStringLiteral("Preferred Language :"));
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Aspect ratio :"));
    EXPECT_EQ(dialog.WatchFullScreen->text(), QStringLiteral("Fullscreen"));
    EXPECT_EQ(dialog.StopOnExit->text(), QStringLiteral("Stop on Exit"));
    EXPECT_EQ(dialog.UseSourceStream->text(), QStringLiteral("Use Original Stream"));
    EXPECT_EQ(dialog.OkBtn->text(), QStringLiteral("&OK"));
    EXPECT_EQ(dialog.CancelBtn->text(), QStringLiteral("&Cancel"));
    EXPECT_TRUE(dialog.OptionsBox->title().isEmpty());

    QStringList items;
    for (int i = 0; i < dialog.AspectCombo->count(); ++i)
        items.push_back(dialog.AspectCombo->itemText(i));
    EXPECT_EQ(items, (QStringList{"Default", "16:9", "4:3", "1:1", "16:10", "5:4"}));
    EXPECT_EQ(dialog.AspectCombo->currentIndex(), 0);
    EXPECT_FALSE(dialog.AspectCombo->isEditable());

    // Asked for by name; the pixel sizes hold whatever family the platform falls back to.
    EXPECT_EQ(dialog.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(dialog.font().pixelSize(), 11);
    for (QWidget* w :
         {static_cast<QWidget*>(dialog.PrefLang), static_cast<QWidget*>(dialog.Label5),
          static_cast<QWidget*>(dialog.UseSourceStream), static_cast<QWidget*>(dialog.OkBtn),
          static_cast<QWidget*>(dialog.CancelBtn)})
        EXPECT_EQ(w->font().pixelSize(), 13) << w->metaObject()->className();
}

TEST_F(TOptionsWndTest, HintsAreExactAndKeepTheirCarriageReturns) {
    EXPECT_EQ(dialog.PrefLang->toolTip(),
              QStringLiteral("Set your preferred audio language (2 letter code)"));
    EXPECT_EQ(dialog.AspectCombo->toolTip(), QStringLiteral("Set video aspect ratio"));
    EXPECT_EQ(dialog.WatchFullScreen->toolTip(),
              QStringLiteral("Start watching in fullscreen mode. Double click the player window "
                             "to exit fullscreen mode."));
    EXPECT_EQ(dialog.StopOnExit->toolTip(),
              QStringLiteral("Stop the currently active channel when exiting the program."));
    EXPECT_EQ(dialog.UseSourceStream->toolTip(),
              QStringLiteral("Watch the original source stream instead of broadcasting "
                             "(converting).\rBetter quality than broadcasted stream and supports "
                             "multiple viewers.\rRequires at least 6 Mbps bandwidth (up to 12 Mbps "
                             "for HD channels) !"));
    for (QWidget* w :
         {static_cast<QWidget*>(dialog.OptionsBox), static_cast<QWidget*>(dialog.OkBtn),
          static_cast<QWidget*>(dialog.CancelBtn)})
        EXPECT_TRUE(w->toolTip().isEmpty());
}

TEST_F(TOptionsWndTest, TabGoesThroughTheBoxInItsOrderThenTheButtons) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const QList<QWidget*> expected = {
        dialog.PrefLang,    dialog.StopOnExit, dialog.UseSourceStream, dialog.WatchFullScreen,
        dialog.AspectCombo, dialog.OkBtn,      dialog.CancelBtn,       dialog.PrefLang};
    QList<QWidget*> seen = {Focused()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(Focused(), Qt::Key_Tab);
        seen.push_back(Focused());
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(TOptionsWndTest, ShrunkForOrdinaryUsersTabSkipsTheHiddenBoxes) {
    // What the main window does for a user who is not an administrator.
    dialog.StopOnExit->hide();
    dialog.UseSourceStream->hide();
    dialog.OptionsBox->resize(dialog.OptionsBox->width(), 192);
    dialog.OkBtn->move(dialog.OkBtn->x(), 216);
    dialog.CancelBtn->move(dialog.CancelBtn->x(), 216);
    dialog.SetClientHeight(dialog.OkBtn->y() + dialog.OkBtn->height() + 7);
    EXPECT_EQ(dialog.size(), QSize(234, 248));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(dialog.size(), QSize(234, 248));
    const QList<QWidget*> expected = {dialog.PrefLang, dialog.WatchFullScreen, dialog.AspectCombo,
                                      dialog.OkBtn,    dialog.CancelBtn,       dialog.PrefLang};
    QList<QWidget*> seen = {Focused()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(Focused(), Qt::Key_Tab);
        seen.push_back(Focused());
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(TOptionsWndTest, EnterAndEscapeDoNotCloseTheDialog) {
    ASSERT_NO_FATAL_FAILURE(Open());
    for (QWidget* w :
         {static_cast<QWidget*>(dialog.PrefLang), static_cast<QWidget*>(dialog.WatchFullScreen),
          static_cast<QWidget*>(dialog.AspectCombo)}) {
        w->setFocus();
        ASSERT_TRUE(WaitUntil([&] { return Focused() == w; }, 2000));
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(w, key);
        ProcessEventsFor(50);
        EXPECT_TRUE(dialog.isVisible()) << w->metaObject()->className();
        EXPECT_TRUE(finished.isEmpty()) << w->metaObject()->className();
    }
    // Escape on a button does not close it either.
    dialog.OkBtn->setFocus();
    QTest::keyClick(dialog.OkBtn, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(finished.isEmpty());
}

TEST_F(TOptionsWndTest, HowTheDialogCloses) {
    struct Case {
        const char* Name;
        std::function<void(TOptionsWnd&)> Close;
        int Result;
    };
    const Case cases[] = {
        {"OK clicked", [](TOptionsWnd& d) { QTest::mouseClick(d.OkBtn, Qt::LeftButton); },
         QDialog::Accepted},
        {"Cancel clicked", [](TOptionsWnd& d) { QTest::mouseClick(d.CancelBtn, Qt::LeftButton); },
         QDialog::Rejected},
        {"close box", [](TOptionsWnd& d) { d.close(); }, QDialog::Rejected},
        {"Enter on the focused OK",
         [](TOptionsWnd& d) {
             d.OkBtn->setFocus();
             QTest::keyClick(d.OkBtn, Qt::Key_Return);
         },
         QDialog::Accepted},
        {"Enter on the focused Cancel",
         [](TOptionsWnd& d) {
             d.CancelBtn->setFocus();
             QTest::keyClick(d.CancelBtn, Qt::Key_Return);
         },
         QDialog::Rejected},
        {"Space on the focused OK",
         [](TOptionsWnd& d) {
             d.OkBtn->setFocus();
             QTest::keyClick(d.OkBtn, Qt::Key_Space);
         },
         QDialog::Accepted},
    };
    for (const Case& c : cases) {
        finished.clear();
        ASSERT_NO_FATAL_FAILURE(Open());
        c.Close(dialog);
        ASSERT_TRUE(WaitUntil([&] { return !finished.isEmpty(); }, 2000)) << c.Name;
        EXPECT_EQ(finished.first().first().toInt(), c.Result) << c.Name;
        EXPECT_FALSE(dialog.isVisible()) << c.Name;
    }
}

} // namespace
