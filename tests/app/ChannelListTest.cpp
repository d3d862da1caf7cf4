// The channel list, the audio-language box and the Current Channel panel of the signed-in
// window, against the stand-in service, with input through the window system layer.

#include "app/TMainForm.h"
#include "player/TVlcPlayer.h"
#include "settings/Settings.h"
#include "tests/app/MainFormInput.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace MainFormInput;
using testing::HasSubstr;

// Table rows print as their names in the failure messages.
template <typename TCase>
requires requires(const TCase& c) {
    c.Name;
}
void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Name;
}

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

QStringList Rows(QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows.append(list->item(i)->text());
    return rows;
}

QColor TextColour(QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

class ChannelListTest : public TStandInServiceSuite {
protected:
    void SetUp() override {
        TStandInServiceSuite::SetUp();
        TestEnvironment::ClearSettingsStore();
    }

    // Signs in with the settings stored so far.
    TMainForm* SignIn(bool admin = false, bool show = true) {
        Harness = std::make_unique<TMainFormHarness>(*Service);
        TMainFormHarness::TOptions options;
        options.ClearSettings = false;
        options.Show = show;
        return admin
                   ? Harness->SignIn(TStandInService::AdminUser, TStandInService::AdminPassword,
                                     options)
                   : Harness->SignIn(TStandInService::User, TStandInService::UserPassword, options);
    }

    std::unique_ptr<TMainFormHarness> Harness;
};

TEST_F(ChannelListTest, TheListArrivesOnTheFirstActivationWithTheStartUpBroadcast) {
    Service->SetBroadcast("12", "de");
    TMainForm* form = SignIn(true, false);
    ASSERT_NE(form, nullptr);
    // Signed in, not shown yet: the broadcast is known but cannot be named.
    EXPECT_EQ(form->BroadcastCid, "12");
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
    EXPECT_FALSE(form->StopBtn->isVisibleTo(form));
    EXPECT_FALSE(form->StatusTimer->isActive());
    EXPECT_FALSE(Harness->NewQueries().contains("cmd=listnew"));

    form->show();
    form->activateWindow();
    ASSERT_TRUE(Harness->WaitForChannelList());
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(Harness->NewQueries(), QList<QByteArray>{"cmd=listnew"});
    QStringList names;
    for (const TStandInService::TChannel& channel : TStandInService::DemoChannels())
        names.append(QString::fromUtf8(channel.Name));
    EXPECT_EQ(Rows(form->ChannelList), names);
    EXPECT_EQ(form->ChannelIds, (QList<QByteArray>{"11", "12", "13", "14"}));
    EXPECT_EQ(form->ChannelLanguages, (QList<QByteArray>{"en,de", "en,de,fr", "de", "en,fr,es"}));
    EXPECT_TRUE(form->StatusTimer->isActive());
    EXPECT_EQ(form->StatusTimer->interval(), 5000);
    EXPECT_EQ(form->BroadcastStateLbl->text(), "Meridian Sport (DE)");
    EXPECT_TRUE(form->StopBtn->isVisible());
    EXPECT_EQ(form->ChannelList->currentRow(), -1) << "the broadcast selects no row";

    // Later activations ask for nothing.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return other.isActiveWindow(); }));
    form->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return form->isActiveWindow(); }));
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_FALSE(Harness->NewQueries().contains("cmd=listnew"));
}

TEST_F(ChannelListTest, AChannelWithoutLanguagesInAListOfItsOwnAsksForNothing) {
    Service->ScriptReply("listnew", "7;News;;");
    TMainForm* form = SignIn();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->ChannelIds, QList<QByteArray>{"7"});
    EXPECT_EQ(form->ChannelNames, QList<QByteArray>{"News"});
    EXPECT_EQ(form->ChannelLanguages, QList<QByteArray>{""});
    EXPECT_EQ(Rows(form->ChannelList), QStringList{"News"});
    Harness->NewQueries();

    DoubleClickRow(form->ChannelList, 0);
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(form->LangCombo->count(), 0);
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>());
    EXPECT_TRUE(Harness->Boxes().Calls().isEmpty());
}

TEST_F(ChannelListTest, AChannelWithoutLanguagesKeepsTheBoxOfThePreviousOne) {
    Service->ScriptReply("listnew", "11;Harbour News;en,de;7;News;;");
    Service->ScriptReply("link", Service->StreamUrl("11"));
    TMainForm* form = SignIn();
    ASSERT_NE(form, nullptr);
    ClickRow(form->ChannelList, 0);
    form->LangCombo->setCurrentIndex(1); // the user picks "de"; nothing plays, nothing happens
    ClickRow(form->ChannelList, 1);
    EXPECT_EQ(Items(form->LangCombo), (QStringList{"en", "de"}));
    EXPECT_EQ(form->LangCombo->currentIndex(), 1);
    Harness->NewQueries();

    // The language left in the box is the one asked for.
    DoubleClickRow(form->ChannelList, 1);
    ASSERT_TRUE(Harness->WaitForRequests());
    EXPECT_EQ(QueriesExceptPolls(*Harness), QList<QByteArray>{"cmd=link&cid=7&us=0"});
    ASSERT_TRUE(Harness->WaitForPlaying());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna) - News");
    EXPECT_EQ(form->VlcPlayer->GetLibrary()->GetOptions().back(), "--audio-track=1");
}

TEST_F(ChannelListTest, ClicksLoadARowsLanguagesOnceAndRowsSelectedByTheProgramDoNot) {
    TMainForm* form = SignIn();
    ASSERT_NE(form, nullptr);
    ClickRow(form->ChannelList, 0);
    EXPECT_EQ(Items(form->LangCombo), (QStringList{"en", "de"}));
    EXPECT_EQ(form->LangCombo->itemData(1).toByteArray(), "de");
    EXPECT_EQ(form->LastClickedIndex, 0);

    // A second click on the same row does not load again: the user's pick stays.
    form->LangCombo->setCurrentIndex(1);
    ClickRow(form->ChannelList, 0);
    EXPECT_EQ(form->LangCombo->currentIndex(), 1);

    // The keyboard selects like a click.
    form->ChannelList->setFocus();
    Key(form, Qt::Key_Down);
    ASSERT_EQ(form->ChannelList->currentRow(), 1);
    EXPECT_EQ(Items(form->LangCombo), (QStringList{"en", "de", "fr"}));
    EXPECT_EQ(form->LangCombo->currentIndex(), 0);
    EXPECT_EQ(form->LastClickedIndex, 1);

    // A row the program selects is no click...
    form->SelectChannelRow(2);
    EXPECT_EQ(Items(form->LangCombo), (QStringList{"en", "de", "fr"}));
    EXPECT_EQ(form->LastClickedIndex, 1);
    // ...but a click on it, already selected, is.
    ClickRow(form->ChannelList, 2);
    EXPECT_EQ(Items(form->LangCombo), QStringList{"de"});
    EXPECT_EQ(form->LastClickedIndex, 2);
    EXPECT_EQ(QueriesExceptPolls(*Harness),
              (QList<QByteArray>{"cmd=test", "cmd=getperms", "cmd=listnew"}))
        << "a click asks for nothing";
}

TEST_F(ChannelListTest, AClickWhileAStreamPlaysLeavesTheBoxAlone) {
    TMainForm* form = SignIn();
    ASSERT_NE(form, nullptr);
    DoubleClickRow(form->ChannelList, 1);
    ASSERT_TRUE(Harness->WaitForRequests());
    ASSERT_TRUE(Harness->WaitForPlaying());
    ClickRow(form->ChannelList, 3);
    form->ChannelList->setFocus();
    Key(form, Qt::Key_Up);
    EXPECT_EQ(form->ChannelList->currentRow(), 2);
    EXPECT_EQ(Items(form->LangCombo), (QStringList{"en", "de", "fr"}));
    EXPECT_EQ(form->LastClickedIndex, 1);

    // Once stopped, a click loads again.
    Click(form->StopChanBtn);
    ClickRow(form->ChannelList, 3);
    EXPECT_EQ(Items(form->LangCombo), (QStringList{"en", "fr", "es"}));
}

TEST_F(ChannelListTest, ThePreferredLanguageIsSelectedByTheWholeItemInAnyLetterCase) {
    WriteDefLang("DE");
    TMainForm* form = SignIn();
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->PreferredLanguage, "DE");
    struct TCase {
        const char* Preferred;
        int Row;
        int Selected;
    };
    for (const TCase& c : {TCase{"DE", 0, 1}, TCase{"fr", 1, 2}, TCase{"Es", 3, 2},
                           TCase{"d", 0, 0}, TCase{"xx", 1, 0}, TCase{"", 3, 0}}) {
        SCOPED_TRACE(testing::Message() << c.Preferred << " in row " << c.Row);
        form->PreferredLanguage = QString::fromUtf8(c.Preferred);
        ClickRow(form->ChannelList, c.Row == 0 ? 1 : 0); // so that the next click loads
        ClickRow(form->ChannelList, c.Row);
        EXPECT_EQ(form->LangCombo->currentIndex(), c.Selected);
    }
}

// -- The Current Channel panel

struct TPanelCase {
    const char* Name;
    bool Admin;
    QByteArray ListReply; // empty: the demo channels
    QByteArray Status;    // every status reply
    const char* Label;
    bool Shown; // a channel is shown (hand cursor, "Watch Current Channel" enabled)
};

class CurrentChannelTest : public ChannelListTest,
                           public testing::WithParamInterface<TPanelCase> {};

TEST_P(CurrentChannelTest, ShowsTheStartUpBroadcastOnceTheListIsThere) {
    const TPanelCase& c = GetParam();
    if (!c.ListReply.isEmpty())
        Service->ScriptReply("listnew", c.ListReply);
    Service->ScriptReply("bdcstatus", c.Status, 1000);
    TMainForm* form = SignIn(c.Admin);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->BroadcastStateLbl->text(), QString::fromUtf8(c.Label));
    EXPECT_EQ(form->BroadcastStateLbl->cursor().shape(),
              c.Shown ? Qt::PointingHandCursor : Qt::ArrowCursor);
    EXPECT_EQ(form->WatchCurrentChannel1->isEnabled(), c.Shown);
    EXPECT_EQ(form->StopBtn->isVisible(), c.Admin && c.Shown) << "STOP is for administrators";
    EXPECT_EQ(form->StopChannel1->isVisible(), c.Admin);
    if (c.Admin) {
        EXPECT_EQ(form->StopChannel1->isEnabled(), c.Shown);
    }
    EXPECT_EQ(TextColour(form->BroadcastStateLbl), QColor(Qt::black));

    // And back to "None".
    form->ShowCurrentChannel(-1, QByteArray());
    EXPECT_EQ(form->BroadcastStateLbl->text(), "None");
    EXPECT_EQ(form->BroadcastStateLbl->cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(form->WatchCurrentChannel1->isEnabled());
    EXPECT_FALSE(form->StopBtn->isVisible());
    if (c.Admin) {
        EXPECT_FALSE(form->StopChannel1->isEnabled());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CurrentChannelTest,
    testing::Values(TPanelCase{"AdminSeesTheLanguageOfASeveralLanguageChannel",
                               true,
                               {},
                               "1;12;de;http://127.0.0.1:9/broadcast/1.ts",
                               "Meridian Sport (DE)",
                               true},
                    TPanelCase{"OrdinaryUserNeverSeesStop",
                               false,
                               {},
                               "1;12;de;http://127.0.0.1:9/broadcast/1.ts",
                               "Meridian Sport (DE)",
                               true},
                    TPanelCase{"ASingleLanguageChannelShowsItsNameAlone",
                               false,
                               {},
                               "1;13;de;http://127.0.0.1:9/broadcast/1.ts",
                               "Alpine Panorama",
                               true},
                    TPanelCase{"ATrailingCommaMakesSeveralLanguages", true, "31;Quay;a,;",
                               "1;31;a;http://127.0.0.1:9/broadcast/1.ts", "Quay (A)", true},
                    TPanelCase{"TheIdentifierIsFoundInAnyLetterCase", true, "ab;News;en,de;",
                               "1;AB;en;http://127.0.0.1:9/broadcast/1.ts", "News (EN)", true},
                    TPanelCase{"AnUnlistedChannelLeavesNone",
                               true,
                               {},
                               "1;99;en;http://127.0.0.1:9/broadcast/1.ts",
                               "None",
                               false},
                    TPanelCase{"NoBroadcast", true, {}, "0;", "None", false}),
    [](const testing::TestParamInfo<TPanelCase>& info) { return info.param.Name; });

struct THoverCase {
    const char* Name;
    bool Broadcast;
    QColor Hovering;
};

class HoverTest : public ChannelListTest, public testing::WithParamInterface<THoverCase> {};

TEST_P(HoverTest, TheLabelTurnsGreenWhileHoveredOnlyWhenABroadcastIsKnown) {
    const THoverCase& c = GetParam();
    if (c.Broadcast)
        Service->SetBroadcast("12", "de");
    TMainForm* form = SignIn();
    ASSERT_NE(form, nullptr);
    QLabel* label = form->BroadcastStateLbl;
    ASSERT_EQ(label->text(), c.Broadcast ? "Meridian Sport (DE)" : "None");
    const QPoint inside = label->mapTo(form, QPoint(10, label->height() / 2));
    const QPoint outside = label->mapTo(form, QPoint(10, -30));
    QTest::mouseMove(form->windowHandle(), outside);
    ProcessEventsFor(100);
    QTest::mouseMove(form->windowHandle(), inside);
    EXPECT_TRUE(WaitUntil([&] { return label->underMouse(); }, 5000)) << "the mouse is not over it";
    EXPECT_TRUE(WaitUntil([&] { return TextColour(label) == c.Hovering; }, 2000))
        << TextColour(label).name().toStdString();
    QTest::mouseMove(form->windowHandle(), outside);
    EXPECT_TRUE(WaitUntil([&] { return !label->underMouse(); }, 5000));
    EXPECT_EQ(TextColour(label), QColor(Qt::black));
}

INSTANTIATE_TEST_SUITE_P(Cases, HoverTest,
                         testing::Values(THoverCase{"None", false, QColor(Qt::black)},
                                         THoverCase{"ABroadcastName", true, QColor(0, 128, 0)}),
                         [](const testing::TestParamInfo<THoverCase>& info) {
                             return info.param.Name;
                         });

// -- An error reply to the list ends the program

struct TListErrorCase {
    const char* Name;
    QByteArray Reply;
    const char* Error;
};

class ChannelListErrorTest : public ChannelListTest,
                             public testing::WithParamInterface<TListErrorCase> {};

TEST_P(ChannelListErrorTest, EndsWithTheMessageAndExitCodeOne) {
    const TListErrorCase& c = GetParam();
    EXPECT_EXIT(
        {
            Service->ScriptReply("listnew", c.Reply);
            SignIn();
        },
        testing::ExitedWithCode(1),
        HasSubstr(std::string("MESSAGEBOX stop owned Kavrien Player (anna)|Error loading channel "
                              "list. Please contact service administrator.\\rError: ") +
                  c.Error + "\nPROCESS EXIT 1"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChannelListErrorTest,
    testing::Values(TListErrorCase{"ReplyCode", "ERR", "Error executing command"},
                    TListErrorCase{"EmptyReply", "", "Empty response"}),
    [](const testing::TestParamInfo<TListErrorCase>& info) { return info.param.Name; });

} // namespace
