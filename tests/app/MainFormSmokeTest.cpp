// The signed-in window lists the channels and plays one: the path every other window test
// builds on.

#include "app/TMainForm.h"
#include "player/TVlcPlayer.h"
#include "tests/support/TMainFormHarness.h"
#include "tests/support/TStandInService.h"

#include <QListWidget>
#include <gtest/gtest.h>

namespace {

TEST(MainFormSmokeTest, AnOrdinaryUserWatchesTheFirstChannel) {
    TStandInService service;
    TMainFormHarness harness(service);
    TMainForm* form = harness.SignIn(TStandInService::User, TStandInService::UserPassword);
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->ChannelList->count(), 4);
    EXPECT_EQ(harness.NewQueries(),
              (QList<QByteArray>{"cmd=test", "cmd=getperms", "cmd=bdcstatus", "cmd=listnew"}));
    harness.Watch(0);
    EXPECT_EQ(harness.NewQueries(), QList<QByteArray>{"cmd=link&cid=11&us=0"});
    ASSERT_TRUE(harness.WaitForPlaying());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna) - Harbour News");
    EXPECT_TRUE(harness.Boxes().Calls().isEmpty());
}

} // namespace
