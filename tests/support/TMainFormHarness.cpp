#include "tests/support/TMainFormHarness.h"

#include "app/ApplicationTitle.h"
#include "app/TMainForm.h"
#include "dialogs/TLoginDlg.h"
#include "player/TVlcPlayer.h"
#include "service/TRequestWorker.h"
#include "tests/support/TLoginScript.h"
#include "tests/support/TStandInService.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitUntil.h"
#include "widgets/TPopupListNotifier.h"

#include <QListWidget>
#include <gtest/gtest.h>

TMainFormHarness::TMainFormHarness(TStandInService& service) : service(service) {}

TMainFormHarness::~TMainFormHarness() {
    Destroy();
}

void TMainFormHarness::Destroy() {
    form.reset();
    script.reset();
    dialog.reset();
}

TMainForm* TMainFormHarness::SignIn(const char* user, const char* password) {
    return SignIn(user, password, TOptions());
}

TMainForm* TMainFormHarness::SignIn(const char* user, const char* password,
                                    const TOptions& options) {
    Destroy();
    // As the program entry does: popup menus report to the active window.
    TPopupListNotifier::Install();
    if (options.ClearSettings)
        TestEnvironment::ClearSettingsStore();
    qputenv("KAVRIEN_API_URL", service.ApiBaseUrl());
    qputenv("KAVRIEN_CA_FILE", service.CaFile().toLocal8Bit());
    SetApplicationTitle(TMainForm::DesignCaption);
    service.ClearLog();
    seenLogSize = 0;
    dialog = std::make_unique<TLoginDlg>();
    script = std::make_unique<TLoginScript>(dialog.get());
    script->Login(QString::fromUtf8(user), QString::fromUtf8(password));
    form = std::make_unique<TMainForm>(dialog.get());
    if (options.Show) {
        form->show();
        form->activateWindow();
        EXPECT_TRUE(WaitForChannelList()) << "the channel list did not arrive";
        EXPECT_TRUE(WaitForRequests());
    }
    return form.get();
}

bool TMainFormHarness::WaitForChannelList(int timeoutMs) {
    return WaitUntil([this] { return form && form->ChannelList->count() > 0; }, timeoutMs);
}

bool TMainFormHarness::WaitForRequests(int timeoutMs) {
    return form && form->Requests->WaitForRequestsInFlight(timeoutMs);
}

bool TMainFormHarness::WaitForPlaying(int timeoutMs) {
    return WaitUntil([this] { return form && form->VlcPlayer && form->VlcPlayer->IsPlaying(); },
                     timeoutMs);
}

bool TMainFormHarness::WaitForNotPlaying(int timeoutMs) {
    return WaitUntil([this] { return form && (!form->VlcPlayer || !form->VlcPlayer->IsPlaying()); },
                     timeoutMs);
}

void TMainFormHarness::Watch(int row) {
    form->ChannelList->setCurrentRow(row);
    form->ChannelListDblClick();
    WaitForRequests();
}

QList<QByteArray> TMainFormHarness::NewQueries() {
    const auto log = service.Log();
    QList<QByteArray> queries;
    for (int i = seenLogSize; i < log.size(); ++i)
        queries.append(log[i].Query);
    seenLogSize = int(log.size());
    return queries;
}
