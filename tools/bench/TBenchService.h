#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "tools/service/TServiceProcess.h"

// The project's stand-in service (kavrien-service) with the demo data and the demo content,
// on free ports of 127.0.0.1 and with a fresh test CA; stopped by the destructor, and dies
// with the benchmark however it ends.
class TBenchService {
public:
    TBenchService() = default;
    TBenchService(const TBenchService&) = delete;
    TBenchService& operator=(const TBenchService&) = delete;

    // Starts the program and waits for its ports line. False, with Error() saying why.
    bool Start(const QString& program, const QString& dataFolder, const QString& contentFolder);
    QString Error() const { return error; }

    // "https://127.0.0.1:<port>/admin/api.php?"
    QByteArray ApiBaseUrl() const { return apiUrl; }
    // The test CA's PEM file, for KAVRIEN_CA_FILE.
    QString CaFile() const { return caFile; }
    // What cmd=link answers for the channel: "http://127.0.0.1:<port>/live/<cid>.ts".
    QByteArray StreamUrl(const QByteArray& cid) const;

private:
    TServiceProcess service;
    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/kavrien-zap-bench-XXXXXX")};
    QByteArray apiUrl;
    QByteArray streamBase;
    QString caFile;
    QString error;
};
