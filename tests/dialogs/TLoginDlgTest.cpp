#include "dialogs/TLoginDlg.h"

#include "settings/Settings.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "widgets/TPasswordEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class TLoginDlgTest : public testing::Test {
protected:
    void SetUp() override { TestEnvironment::ClearSettingsStore(); }
    MessageBoxRecorder boxes;
};

TEST_F(TLoginDlgTest, LayoutAsDesigned) {
    TLoginDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Kavrien Login");
    EXPECT_EQ(dialog.size(), QSize(329, 340));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed size";
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    const struct {
        QWidget* Control;
        QRect Bounds;
    } placed[] = {
        {dialog.Logo, {102, 12, 128, 128}},
        {dialog.UsernameEdit, {96, 212, 209, 24}},
        {dialog.PasswordEdit, {96, 252, 209, 24}},
        {dialog.LoginBtn, {16, 304, 297, 25}},
    };
    for (const auto& p : placed)
        EXPECT_EQ(p.Control->geometry(), p.Bounds) << p.Control->metaObject()->className();
    EXPECT_EQ(dialog.Label4->text(), "Tessaliq - Kavrien");
    EXPECT_EQ(dialog.Label4->pos(), QPoint(48, 144));
    EXPECT_EQ(dialog.Label4->font().pixelSize(), 24);
    EXPECT_TRUE(dialog.Label4->font().bold());
    EXPECT_EQ(dialog.Label5->text(), "Tessaliq private video stream server");
    EXPECT_EQ(dialog.Label1->text(), "Username :");
    EXPECT_EQ(dialog.Label2->text(), "Password :");
    EXPECT_EQ(dialog.LoginBtn->text(), "&Login");
    EXPECT_FALSE(dialog.LoginBtn->isDefault());
    EXPECT_FALSE(dialog.LoginBtn->autoDefault());
    ASSERT_NE(dialog.Logo->pixmap().isNull(), true) << "the logo picture 101";
    EXPECT_EQ(dialog.Logo->pixmap().size(), QSize(128, 128));
    EXPECT_EQ(dialog.PasswordEdit->font().family(), "MS Sans Serif")
        << "the form's font wins over the edit's preferred one";
    EXPECT_EQ(dialog.UsernameEdit->nextInFocusChain(), dialog.PasswordEdit);
    EXPECT_EQ(dialog.PasswordEdit->nextInFocusChain(), dialog.LoginBtn);
}

TEST_F(TLoginDlgTest, TheStoredUserNameIsOfferedWithTheFocusInThePasswordField) {
    WriteLastUser(QStringLiteral("anna"));
    TLoginDlg withUser;
    withUser.show();
    EXPECT_EQ(withUser.UsernameEdit->text(), "anna");
    EXPECT_EQ(withUser.PasswordEdit->text(), "");
    EXPECT_EQ(withUser.focusWidget(), withUser.PasswordEdit);

    TestEnvironment::ClearSettingsStore();
    TLoginDlg withoutUser;
    withoutUser.show();
    EXPECT_EQ(withoutUser.UsernameEdit->text(), "");
    EXPECT_EQ(withoutUser.focusWidget(), withoutUser.UsernameEdit);
}

TEST_F(TLoginDlgTest, TheUserNameIsStoredKeystrokeByKeystrokeAndKeptAfterCancel) {
    TLoginDlg dialog;
    dialog.show();
    dialog.UsernameEdit->setFocus();
    QTest::keyClicks(dialog.UsernameEdit, "ann");
    EXPECT_EQ(ReadLastUser(), "ann");
    QTest::keyClick(dialog.UsernameEdit, Qt::Key_A);
    EXPECT_EQ(ReadLastUser(), "anna");
    dialog.close();
    EXPECT_EQ(dialog.result(), TLoginDlg::mrCancel);
    EXPECT_EQ(ReadLastUser(), "anna");
}

TEST_F(TLoginDlgTest, LoginNeedsBothFieldsAsTyped) {
    const struct {
        const char* UserName;
        const char* Password;
        bool Accepted;
    } cases[] = {{"anna", "pw", true}, {"", "pw", false},   {"anna", "", false},
                 {"", "", false},      {"   ", "pw", true}, {"anna", " ", true}};
    for (const auto& c : cases) {
        boxes.Clear();
        TLoginDlg dialog;
        dialog.show();
        dialog.UsernameEdit->setText(c.UserName);
        dialog.PasswordEdit->setText(c.Password);
        dialog.LoginBtn->click();
        EXPECT_EQ(dialog.isVisible(), !c.Accepted) << '"' << c.UserName << "\" \"" << c.Password;
        if (c.Accepted) {
            EXPECT_EQ(dialog.result(), TLoginDlg::mrOk);
            EXPECT_EQ(dialog.EnteredUserName, c.UserName);
            EXPECT_EQ(dialog.EnteredPassword, c.Password);
            EXPECT_TRUE(boxes.Calls().isEmpty());
        } else {
            ASSERT_EQ(boxes.Calls().size(), 1);
            EXPECT_EQ(boxes.Calls()[0].Text,
                      "Please enter a username and password to access the Kavrien service.");
            EXPECT_EQ(boxes.Calls()[0].Title, "Kavrien Login");
            EXPECT_EQ(boxes.Calls()[0].Owner, &dialog);
            EXPECT_EQ(boxes.Calls()[0].Icon, TMessageIcon::Stop);
            EXPECT_EQ(dialog.UsernameEdit->text(), c.UserName) << "entries stay";
        }
    }
}

TEST_F(TLoginDlgTest, EnterConfirmsOnlyInThePasswordField) {
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        TLoginDlg dialog;
        dialog.show();
        dialog.UsernameEdit->setText("anna");
        dialog.PasswordEdit->setText("pw");
        QTest::keyClick(dialog.UsernameEdit, key);
        EXPECT_TRUE(dialog.isVisible()) << "Enter in the user name does nothing";
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible()) << "there is no cancel button";
        QTest::keyClick(dialog.PasswordEdit, key, Qt::ShiftModifier);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), TLoginDlg::mrOk);
    }
    EXPECT_TRUE(boxes.Calls().isEmpty());

    TestEnvironment::ClearSettingsStore(); // the loop above stored "anna"
    TLoginDlg empty;
    empty.show();
    empty.PasswordEdit->setText("pw");
    QTest::keyClick(empty.PasswordEdit, Qt::Key_Return);
    EXPECT_TRUE(empty.isVisible());
    ASSERT_EQ(boxes.Calls().size(), 1);
    EXPECT_EQ(boxes.Calls()[0].Text,
              "Please enter a username and password to access the Kavrien service.");
}

TEST_F(TLoginDlgTest, ClosingThePromptGivesFalseAndEmptyOutputs) {
    TLoginDlg dialog;
    QTimer::singleShot(0, &dialog, [&] {
        dialog.UsernameEdit->setText("anna");
        dialog.PasswordEdit->setText("secret");
        dialog.close();
    });
    QString user = "before", password = "before";
    EXPECT_FALSE(dialog.PromptLogin(user, password));
    EXPECT_EQ(user, "");
    EXPECT_EQ(password, "");

    QTimer::singleShot(0, &dialog, [&] { dialog.LoginBtn->click(); });
    EXPECT_TRUE(dialog.PromptLogin(user, password)) << "a second prompt keeps the entries";
    EXPECT_EQ(user, "anna");
    EXPECT_EQ(password, "secret");
}

TEST(TPasswordEditTest, MasksTheTextAndPicksTheFirstInstalledPreferredFont) {
    TPasswordEdit edit;
    edit.setText("secret");
    EXPECT_EQ(edit.echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit.text(), "secret");
    EXPECT_NE(edit.displayText(), "secret");

    const struct {
        QStringList Installed;
        const char* Chosen;
    } cases[] = {
        {{"DejaVu Sans", "arial", "Tahoma"}, "Tahoma"},
        {{"ARIAL", "MS Sans Serif"}, "ARIAL"},
        {{"ms sans serif"}, "ms sans serif"},
        {{"DejaVu Sans"}, ""},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TPasswordEdit::FirstInstalledFont(c.Installed), c.Chosen) << c.Chosen;
}

} // namespace
