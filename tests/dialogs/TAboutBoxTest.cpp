#include "dialogs/TAboutBox.h"

#include "tests/support/WaitUntil.h"
#include "widgets/ExecFile.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TAboutBoxTest : public testing::Test {
protected:
    void SetUp() override {
        desktop = SetDocumentOpener([this](const QString& target) { opened.push_back(target); });
    }
    void TearDown() override { SetDocumentOpener(desktop); }

    void Open() {
        box.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    }

    TAboutBox box;
    QSignalSpy finished{&box, &QDialog::finished};
    QStringList opened;
    TDocumentOpener desktop;
};

TEST_F(TAboutBoxTest, LayoutTextsAndPicture) {
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Kavrien Player"));
    EXPECT_EQ(box.size(), QSize(418, 278));
    EXPECT_EQ(box.minimumSize(), box.maximumSize()) << "fixed size";
    EXPECT_TRUE(box.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                      Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(box.font().pixelSize(), 11);

    EXPECT_EQ(box.Panel1->geometry(), QRect(8, 8, 401, 225));
    EXPECT_EQ(box.Panel1->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(box.ProgramIcon->geometry(), QRect(16, 40, 128, 128));
    ASSERT_FALSE(box.ProgramIcon->pixmap().isNull()) << "picture 102";
    EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(128, 128));
    EXPECT_EQ(box.OKButton->geometry(), QRect(48, 244, 321, 25));
    EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.OKButton->font().pixelSize(), 13);

    struct Text {
        QLabel* Label;
        QPoint At;
        QString Caption;
        int PixelSize;
    };
    const Text texts[] = {
        {box.ProductName, {168, 16}, QStringLiteral("Kavrien Player"), 23},
        {box.Version, {168, 48}, QStringLiteral("Version 2.53"), 13},
        {box.Copyright, {168, 80}, QStringLiteral("Copyright (C) Tessaliq"), 13},
        {box.Comments, {168, 128}, QStringLiteral("For support, contact"), 13},
        {box.Label1, {168, 178}, QStringLiteral("Powered by libVLC"), 13},
    };
    for (const Text& t : texts) {
        EXPECT_EQ(t.Label->parentWidget(), box.Panel1) << t.Caption.toStdString();
        EXPECT_EQ(t.Label->pos(), t.At) << t.Caption.toStdString();
        EXPECT_EQ(t.Label->text(), t.Caption);
        EXPECT_EQ(t.Label->font().pixelSize(), t.PixelSize) << t.Caption.toStdString();
        // Sized to the text, and all of it inside the panel: none of it is cut off.
        EXPECT_GE(t.Label->height(), t.Label->sizeHint().height()) << t.Caption.toStdString();
        EXPECT_GE(t.Label->width(), t.Label->sizeHint().width()) << t.Caption.toStdString();
        EXPECT_LE(t.Label->geometry().right(), box.Panel1->width() - 1) << t.Caption.toStdString();
    }
    EXPECT_TRUE(box.ProductName->font().bold());
}

TEST_F(TAboutBoxTest, LinksLookLikeLinks) {
    struct Link {
        QLabel* Label;
        QPoint At;
    };
    const Link links[] = {
        {box.LinkLabel, {166, 100}}, {box.MailLabel, {167, 148}}, {box.LinkLabel2, {166, 198}}};
    for (const Link& l : links) {
        const std::string name = l.Label->text().toStdString();
        EXPECT_EQ(l.Label->pos(), l.At) << name;
        EXPECT_EQ(l.Label->font().family(), QStringLiteral("MS Sans Serif")) << name;
        EXPECT_EQ(l.Label->font().pixelSize(), 13) << name;
        EXPECT_TRUE(l.Label->font().underline()) << name;
        EXPECT_EQ(l.Label->palette().color(QPalette::WindowText), QColor(0, 0, 238)) << name;
        EXPECT_EQ(l.Label->cursor().shape(), Qt::PointingHandCursor) << name;
        EXPECT_GE(l.Label->width(), l.Label->sizeHint().width()) << name;
        EXPECT_LE(l.Label->geometry().right(), box.Panel1->width() - 1) << name << " is cut off";
    }
    EXPECT_TRUE(box.LinkLabel->text().startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(box.LinkLabel2->text().startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(box.MailLabel->text().contains(QLatin1Char('@')));
    EXPECT_FALSE(box.MailLabel->text().startsWith(QStringLiteral("mailto:")));
}

TEST_F(TAboutBoxTest, ClicksOpenTheCaptionOrMailtoAndTheBoxStaysOpen) {
    ASSERT_NO_FATAL_FAILURE(Open());
    QTest::mouseClick(box.LinkLabel, Qt::LeftButton);
    QTest::mouseClick(box.MailLabel, Qt::LeftButton);
    QTest::mouseClick(box.LinkLabel2, Qt::LeftButton);
    // Only the left button clicks; pressing and letting go elsewhere is no click.
    QTest::mouseClick(box.LinkLabel, Qt::RightButton);
    QTest::mousePress(box.MailLabel, Qt::LeftButton);
    QTest::mouseRelease(box.MailLabel, Qt::LeftButton, Qt::NoModifier,
                        QPoint(box.MailLabel->width() + 20, 5));

    EXPECT_EQ(opened,
              (QStringList{box.LinkLabel->text(), QStringLiteral("mailto:") + box.MailLabel->text(),
                           box.LinkLabel2->text()}));
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(finished.isEmpty());
}

TEST_F(TAboutBoxTest, EnterClosesItEscapeDoesNotAndItCanBeShownAgain) {
    for (int showing = 0; showing < 2; ++showing) {
        finished.clear();
        ASSERT_NO_FATAL_FAILURE(Open());
        // Centred on the screen.
        const QPoint offset = box.frameGeometry().center() - box.screen()->geometry().center();
        EXPECT_LE(offset.manhattanLength(), 2) << showing;

        QTest::keyClick(&box, Qt::Key_Escape);
        ProcessEventsFor(50);
        EXPECT_TRUE(box.isVisible());
        QTest::keyClick(&box, Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return !finished.isEmpty(); }, 2000));
        EXPECT_EQ(finished.first().first().toInt(), QDialog::Accepted);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.Version->text(), QStringLiteral("Version 2.53"));
    }
}

} // namespace
