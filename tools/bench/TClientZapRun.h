#pragma once

#include "tools/bench/TFrameWatcher.h"
#include "tools/bench/TZapReport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class TBenchLogin;
class TLibraryEventTimes;
class TLoginDlg;
class TMainForm;
class TVlcPlayer;

// The client in this process: a main window signed in against the stand-in service, shown,
// with its channel list, switched from channel to channel with its own watch action. Only
// looks on: event filters on the window and its client area note when the start reply
// arrives and when the player control is replaced, and the new player's raw event hook
// notes the library's events; nothing of the window's behaviour changes.
class TClientZapRun : public QObject {
public:
    explicit TClientZapRun(TFrameWatcher& watcher);
    ~TClientZapRun() override;

    // Points the client at the service (KAVRIEN_API_URL, KAVRIEN_CA_FILE), signs in,
    // shows the window and waits for the channel list. False, with Error() saying why.
    bool SignIn(const QByteArray& apiUrl, const QString& caFile, const QString& userName,
                const QString& password);
    QString Error() const { return error; }

    const QList<QByteArray>& ChannelIds() const;
    // The video area (where the player control goes) in the screen's pixels.
    QRect VideoRegion() const;

    // Selects the channel's row and runs the watch action, as a double click does, then
    // waits until the watcher sees the channel's picture, its reference picture (at most
    // timeoutMs).
    TZapTimes Switch(int row, int picture, int timeoutMs);
    // What the last switch made the library play, for a direct play of the same.
    struct TPlayed {
        QByteArray Url;
        std::vector<std::string> Arguments; // of the instance, exactly as made
        std::vector<std::string> MediaOptions;
        bool TitleShow = false;
        int Volume = 100;
    };
    TPlayed LastPlayed() const { return played; }

    // The window's own stop; returns once nothing plays.
    void StopPlayback();
    // Frees the window, its player control with its library instance among them.
    void Close();
    // Message boxes the client showed (recorded instead of shown).
    const QStringList& Messages() const { return messages; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Hook(TVlcPlayer* player);

    TFrameWatcher& watcher;
    std::unique_ptr<TLoginDlg> dialog;
    std::unique_ptr<TBenchLogin> login;
    std::unique_ptr<TMainForm> form;
    QString error;
    QStringList messages;
    TPlayed played;

    // The switch being measured; all on the UI thread.
    bool measuring = false;
    TFrameWatcher::TClock::time_point start;
    TFrameWatcher::TClock::time_point replyAt;
    TFrameWatcher::TClock::time_point createdAt;
    TFrameWatcher::TClock::time_point freedAt;
    bool haveReply = false;
    bool haveCreated = false;
    bool haveFreed = false;
    QByteArray reply;
    QObject* oldPlayer = nullptr; // compared only: it is being destroyed
    QObject* newChild = nullptr;  // compared only until polished
    QPointer<TVlcPlayer> hooked;
    bool hookedLate = false;
    std::shared_ptr<TLibraryEventTimes> events;
    std::shared_ptr<TLibraryEventTimes> previousEvents; // of the player being replaced
};
