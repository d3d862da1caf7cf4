// Creating the main window signs the user in, against the stand-in service.

#include "app/ApplicationTitle.h"
#include "app/TMainForm.h"
#include "dialogs/TLoginDlg.h"
#include "service/TRequestWorker.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TLoginScript.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

class SignInTest : public TStandInServiceSuite {
protected:
    void SetUp() override {
        TStandInServiceSuite::SetUp();
        TestEnvironment::ClearSettingsStore();
        qputenv("KAVRIEN_API_URL", Service->ApiBaseUrl());
        qputenv("KAVRIEN_CA_FILE", Service->CaFile().toLocal8Bit());
        SetApplicationTitle(TMainForm::DesignCaption);
        // Made after the store is cleared: it reads the stored user name.
        dialog = std::make_unique<TLoginDlg>();
    }

    // Creates the window, which signs in with the script's answers; it is not shown.
    std::unique_ptr<TMainForm> SignIn() { return std::make_unique<TMainForm>(dialog.get()); }

    std::unique_ptr<TLoginDlg> dialog;
    MessageBoxRecorder boxes;
};

QList<QByteArray> Queries(const QList<TStandInService::TLoggedRequest>& log) {
    QList<QByteArray> queries;
    for (const auto& request : log)
        queries.append(request.Query);
    return queries;
}

TEST_F(SignInTest, CancellingTheFirstPromptEndsWithOneAndShowsNothing) {
    EXPECT_EXIT(
        {
            TLoginScript script(dialog.get());
            script.Cancel();
            SignIn();
        },
        testing::ExitedWithCode(1),
        AllOf(HasSubstr("PROCESS EXIT 1"), Not(HasSubstr("MESSAGEBOX"))));
}

TEST_F(SignInTest, AnOrdinaryUserSignsInAndGetsTheCaptionAndHints) {
    TLoginScript script(dialog.get());
    script.Login(TStandInService::User, TStandInService::UserPassword);
    auto form = SignIn();

    EXPECT_TRUE(boxes.Calls().isEmpty());
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna)");
    EXPECT_EQ(ApplicationTitle(), "Kavrien Player (anna)");
    EXPECT_EQ(form->BaseCaption, "Kavrien Player (anna)");
    EXPECT_EQ(form->UserName, "anna");
    EXPECT_FALSE(form->IsAdmin);
    EXPECT_FALSE(form->StopChannel1->isVisible());
    EXPECT_FALSE(form->ChangeCurrentChannel1->isVisible());
    EXPECT_TRUE(form->UpdateChannelStatus1->isVisible());
    EXPECT_FALSE(form->StatusTimer->isActive());
    EXPECT_EQ(form->StatusTimer->interval(), 5000);
    EXPECT_FALSE(form->Exiting);
    EXPECT_FALSE(form->LoggingOut);
    EXPECT_FALSE(form->isVisible()) << "the window shows only when the loop runs";

    // The three synchronous requests, in order, each with the user's credentials.
    const auto log = Service->Log();
    EXPECT_EQ(Queries(log), (QList<QByteArray>{"cmd=test", "cmd=getperms", "cmd=bdcstatus"}));
    for (const auto& request : log) {
        EXPECT_EQ(request.User, "anna");
        EXPECT_EQ(request.Auth, "ok");
    }

    const struct {
        QWidget* Control;
        const char* Hint;
    } hints[] = {
        {form->ChannelList,
         "Channel List. Double click the channel name to watch or use the Watch button."},
        {form->LangCombo, "Select audio language."},
        {form->StopChanBtn, "Stop watching the current channel."},
        {form->PlayBtn, "Watch the selected channel."},
        {form->PrevBtn, "Switch to previous channel."},
        {form->NextBtn, "Switch to next channel."},
        {form->BroadcastPanel,
         "Shows the channel currently being broadcast. This can only be changed by "
         "administrator.\rClick the channel name to watch."},
        {form->BroadcastStateLbl,
         "Shows the channel currently being broadcast. This can only be changed by "
         "administrator.\rClick the channel name to watch."},
        {form->StopBtn, "Stop the active channel."},
        {form->ConnStateLed, "Connection State. Blinks when communicating with server."},
    };
    for (const auto& hint : hints)
        EXPECT_EQ(hint.Control->toolTip(), QString::fromUtf8(hint.Hint));
}

TEST_F(SignInTest, AWrongPasswordPromptsAgainWithTheEntriesKept) {
    TLoginScript script(dialog.get());
    script.Login("anna", "not-her-password").Login("anna", TStandInService::UserPassword);
    auto form = SignIn();

    ASSERT_EQ(script.Prompts(), 2);
    EXPECT_EQ(script.Seen()[1].UserName, "anna");
    EXPECT_EQ(script.Seen()[1].Password, "not-her-password");
    ASSERT_EQ(boxes.Calls().size(), 1);
    EXPECT_EQ(boxes.Calls()[0].Title, "Error");
    EXPECT_EQ(boxes.Calls()[0].Text, "Incorrect username or password. Please try again.");
    EXPECT_EQ(boxes.Calls()[0].Icon, TMessageIcon::Stop);
    EXPECT_EQ(boxes.Calls()[0].Owner, nullptr);
    EXPECT_EQ(form->windowTitle(), "Kavrien Player (anna)");
    // The rejected attempt and the accepted one both asked cmd=test.
    EXPECT_EQ(Queries(Service->Log()).count("cmd=test"), 2);
}

TEST_F(SignInTest, CancellingASecondPromptEndsWithOne) {
    EXPECT_EXIT(
        {
            TLoginScript script(dialog.get());
            script.Login("anna", "wrong").Cancel();
            SignIn();
        },
        testing::ExitedWithCode(1),
        AllOf(HasSubstr("MESSAGEBOX stop Error|Incorrect username or password. Please try again."),
              HasSubstr("PROCESS EXIT 1")));
}

// Replies that end the sign-in with a server error, and the message each gives.
struct TFatalReply {
    const char* Command;
    const char* Reply; // null: HTTP status below
    int Status;
    const char* Message;
};

class SignInFatalReplyTest : public SignInTest, public testing::WithParamInterface<TFatalReply> {};

TEST_P(SignInFatalReplyTest, EndsWithTheServerErrorMessage) {
    const TFatalReply& c = GetParam();
    EXPECT_EXIT(
        {
            if (c.Reply != nullptr)
                Service->ScriptReply(c.Command, c.Reply);
            else
                Service->ScriptStatus(c.Command, c.Status);
            TLoginScript script(dialog.get());
            script.Login(TStandInService::User, TStandInService::UserPassword);
            SignIn();
        },
        testing::ExitedWithCode(1),
        AllOf(HasSubstr(std::string("MESSAGEBOX stop Error|") + c.Message + "\nPROCESS EXIT 1"),
              Not(HasSubstr("Incorrect username"))));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SignInFatalReplyTest,
    testing::Values(TFatalReply{"test", "ACC", 0, "Server Error: Access Denied."},
                    TFatalReply{"test", "", 0, "Server Error: Empty response."},
                    TFatalReply{"test", nullptr, 401, "Server Error: Empty response."},
                    TFatalReply{"getperms", "OK", 0, "Server Error: OK."},
                    TFatalReply{"getperms", "DBERR", 0, "Server Error: Database error."},
                    TFatalReply{"bdcstatus", "NPA", 0, "Server Error: Parameter error."},
                    TFatalReply{"bdcstatus", nullptr, 500, "Server Error: Empty response."}));

TEST_F(SignInTest, ATransportFailureOfTheTestShowsTheFatalMessageOwnedByTheWindow) {
    EXPECT_EXIT(
        {
            Service->ScriptStatus("test", 500);
            TLoginScript script(dialog.get());
            script.Login(TStandInService::User, TStandInService::UserPassword);
            SignIn();
        },
        testing::ExitedWithCode(1),
        HasSubstr("MESSAGEBOX stop owned Error|Error while sending request to server. Check your "
                  "internet connection and restart the program.\\rInternal Error: HTTP/1.1 500 "
                  "Internal Server Error\nPROCESS EXIT 1"));
}

TEST_F(SignInTest, AnUnreachableServiceShowsTheFatalMessageWithTheClientsText) {
    EXPECT_EXIT(
        {
            qputenv("KAVRIEN_API_URL", "https://127.0.0.1:9/admin/api.php?");
            TLoginScript script(dialog.get());
            script.Login(TStandInService::User, TStandInService::UserPassword);
            SignIn();
        },
        testing::ExitedWithCode(1),
        testing::ContainsRegex("MESSAGEBOX stop owned Error\\|Error while sending request to "
                               "server\\..*\\\\rInternal Error: [^\n]+\nPROCESS EXIT 1"));
}

TEST_F(SignInTest, AnAddressThatIsNotHttpsIsRefusedBeforeAnyPrompt) {
    EXPECT_EXIT(
        {
            qputenv("KAVRIEN_API_URL", "http://127.0.0.1:9/admin/api.php?");
            TLoginScript script(dialog.get());
            script.Login(TStandInService::User, TStandInService::UserPassword);
            SignIn();
            std::fprintf(stderr, "prompts %d\n", script.Prompts());
        },
        testing::ExitedWithCode(1),
        AllOf(HasSubstr("MESSAGEBOX stop Error|The service address"), Not(HasSubstr("prompts"))));
}

TEST_F(SignInTest, PermissionsDecideTheAdministrator) {
    const struct {
        const char* Reply;
        bool Admin;
    } cases[] = {
        {nullptr, true}, {"admin", true}, {"viewer", false}, {"Admin", false}, {"admin\n", false}};
    for (const auto& c : cases) {
        Service->Reset();
        if (c.Reply != nullptr)
            Service->ScriptReply("getperms", c.Reply);
        TLoginScript script(dialog.get());
        script.Login(TStandInService::AdminUser, TStandInService::AdminPassword);
        auto form = SignIn();
        const char* shown = c.Reply != nullptr ? c.Reply : "(service's own)";
        EXPECT_EQ(form->IsAdmin, c.Admin) << shown;
        EXPECT_EQ(form->StopChannel1->isVisible(), c.Admin) << shown;
        EXPECT_EQ(form->ChangeCurrentChannel1->isVisible(), c.Admin) << shown;
        EXPECT_FALSE(form->StopBtn->isVisibleTo(form.get())) << "the panel shows None at first";
    }
    EXPECT_TRUE(boxes.Calls().isEmpty());
}

TEST_F(SignInTest, TheStartUpStatusFillsTheBroadcastOnlyWithFourItems) {
    const struct {
        const char* Reply;
        const char* Cid;
        const char* Lang;
        const char* Url;
    } cases[] = {
        {"x;12;en;http://127.0.0.1:1/bdc/1.ts", "12", "en", "http://127.0.0.1:1/bdc/1.ts"},
        {"x;12;en", "", "", ""},
        {"none", "", "", ""},
    };
    for (const auto& c : cases) {
        Service->Reset();
        Service->ScriptReply("bdcstatus", c.Reply);
        TLoginScript script(dialog.get());
        script.Login(TStandInService::User, TStandInService::UserPassword);
        auto form = SignIn();
        EXPECT_EQ(form->BroadcastCid, c.Cid) << c.Reply;
        EXPECT_EQ(form->BroadcastLang, c.Lang) << c.Reply;
        EXPECT_EQ(form->BroadcastUrl, c.Url) << c.Reply;
        EXPECT_EQ(form->BroadcastStateLbl->text(), "None") << "shown only once the list is there";
    }
}

TEST_F(SignInTest, TheCredentialsGoWithEveryLaterRequestAndThePasswordIsNotStored) {
    TLoginScript script(dialog.get());
    script.Login(TStandInService::User, TStandInService::UserPassword);
    auto form = SignIn();
    Service->ClearLog();
    form->SendRequest("cmd=listnew", WM_REQ_LIST);
    ASSERT_TRUE(form->Requests->WaitForRequestsInFlight(10000));
    const auto log = Service->Log();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0].User, "anna");
    EXPECT_EQ(log[0].Auth, "ok");
    EXPECT_FALSE(log[0].Cookie.isEmpty()) << "the session cookie comes back";

    QFile store(TestEnvironment::ConfigHome() + "/Tessaliq/Kavrien.conf");
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const QByteArray stored = store.readAll();
    EXPECT_TRUE(stored.contains("LastUser=anna"));
    EXPECT_FALSE(stored.contains(TStandInService::UserPassword));
}

} // namespace
