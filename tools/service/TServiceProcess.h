#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// The stand-in service program started as a child of this process: on free ports of
// 127.0.0.1, with its test CA in a folder the caller names. It dies with this process
// however that ends (also when a test crashes), and Stop ends it cleanly.
class TServiceProcess {
public:
    // Where the service listens, from the line it prints once it does.
    struct TEndpoints {
        QByteArray ApiBaseUrl; // "https://127.0.0.1:<port>/admin/api.php?"
        int ApiPort = 0;
        int ControlPort = 0;
        int StreamPort = 0;
        QString CaFile; // the test CA's PEM file
    };

    TServiceProcess() = default;
    ~TServiceProcess(); // stops the service if it still runs
    TServiceProcess(const TServiceProcess&) = delete;
    TServiceProcess& operator=(const TServiceProcess&) = delete;

    // Starts the program and waits until it listens. False, with Error() saying why.
    bool Start(const QString& program, const QString& dataFolder, const QString& contentFolder,
               const QString& tlsFolder);
    // Asks the service to end and waits for it; false, with Error() saying why, when it had
    // to be killed or did not end cleanly.
    bool Stop();

    bool IsRunning() const { return pid > 0; }
    const TEndpoints& Endpoints() const { return endpoints; }
    QString Error() const { return error; }

    static constexpr int StartTimeoutMs = 20000;
    static constexpr int StopTimeoutMs = 10000;

private:
    pid_t pid = -1;
    TEndpoints endpoints;
    QString error;
};
