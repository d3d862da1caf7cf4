#include "tools/bench/TBenchService.h"

#include <QFile>

bool TBenchService::Start(const QString& program, const QString& dataFolder,
                          const QString& contentFolder) {
    if (!QFile::exists(contentFolder + QStringLiteral("/11.ts"))) {
        error = QStringLiteral("the demo content is missing in ") + contentFolder +
                QStringLiteral(" (build the target kavrien_demo_content)");
        return false;
    }
    if (!folder.isValid()) {
        error = QStringLiteral("no temporary folder for the stand-in service");
        return false;
    }
    if (!service.Start(program, dataFolder, contentFolder,
                       folder.path() + QStringLiteral("/tls"))) {
        error = service.Error();
        return false;
    }
    const TServiceProcess::TEndpoints& at = service.Endpoints();
    apiUrl = at.ApiBaseUrl;
    streamBase = QByteArrayLiteral("http://127.0.0.1:") + QByteArray::number(at.StreamPort);
    caFile = at.CaFile;
    return true;
}

QByteArray TBenchService::StreamUrl(const QByteArray& cid) const {
    return streamBase + "/live/" + cid.toPercentEncoding() + ".ts";
}
