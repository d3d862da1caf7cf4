#pragma once

#include "tests/support/MessageBoxRecorder.h"

#include <QByteArray>
#include <QList>
#include <memory>

class TLoginDlg;
class TLoginScript;
class TMainForm;
class TStandInService;

// A main window signed in against the stand-in service, for in-process tests of the
// window's behaviour. Message boxes are recorded, never shown.
//
//     TStandInService service;
//     TMainFormHarness harness(service);
//     TMainForm* form = harness.SignIn(TStandInService::User, TStandInService::UserPassword);
//     harness.Watch(1);                      // as a double click on row 1
//     ASSERT_TRUE(harness.WaitForPlaying());
//
// SignIn points the client at the service (KAVRIEN_API_URL, KAVRIEN_CA_FILE), clears the
// settings store unless told otherwise, signs in, shows the window (its first activation
// asks for the channel list) and waits until the list is there and no request is in flight.
class TMainFormHarness {
public:
    explicit TMainFormHarness(TStandInService& service);
    ~TMainFormHarness(); // frees the window (stopping playback) and the login dialog
    TMainFormHarness(const TMainFormHarness&) = delete;
    TMainFormHarness& operator=(const TMainFormHarness&) = delete;

    struct TOptions {
        bool ClearSettings = true; // start without a settings store
        bool Show = true;          // show the window and wait for the channel list
    };
    TMainForm* SignIn(const char* user, const char* password);
    TMainForm* SignIn(const char* user, const char* password, const TOptions& options);
    TMainForm* Form() const { return form.get(); }
    TLoginDlg* LoginDlg() const { return dialog.get(); }
    MessageBoxRecorder& Boxes() { return boxes; }

    // Frees the window as the end of a test would; further calls to Form() give null.
    void Destroy();

    // -- Waiting on the UI thread's event loop
    bool WaitForChannelList(int timeoutMs = 15000);
    bool WaitForRequests(int timeoutMs = 15000); // until no request is in flight
    bool WaitForPlaying(int timeoutMs = 30000);  // the current player is in state 3
    bool WaitForNotPlaying(int timeoutMs = 15000);

    // -- Acting as the user does
    // Selects the row (as a click) and runs the watch action (as a double click), then
    // waits until the start request, if one went out, is handled.
    void Watch(int row);
    // The queries the service received since the last call (or since sign-in).
    QList<QByteArray> NewQueries();

private:
    TStandInService& service;
    MessageBoxRecorder boxes;
    std::unique_ptr<TLoginDlg> dialog;
    std::unique_ptr<TLoginScript> script;
    std::unique_ptr<TMainForm> form;
    int seenLogSize = 0;
};
