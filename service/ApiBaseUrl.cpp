#include "service/ApiBaseUrl.h"

#include <QtGlobal>

#ifndef KAVRIEN_API_URL
#error "KAVRIEN_API_URL (the compiled-in service address) comes from the CMake cache"
#endif

QByteArray ApiBaseUrl() {
    const QByteArray fromEnvironment = qgetenv("KAVRIEN_API_URL");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QByteArrayLiteral(KAVRIEN_API_URL);
}

bool IsValidApiBaseUrl(const QByteArray& url) {
    static const QByteArray scheme = "https://";
    static const QByteArray path = "/admin/api.php?";
    if (!url.toLower().startsWith(scheme) || !url.endsWith(path))
        return false;
    const QByteArray authority = url.mid(scheme.size(), url.size() - scheme.size() - path.size());
    if (authority.isEmpty())
        return false;
    for (const char c : authority) {
        const auto byte = static_cast<unsigned char>(c);
        // Host and port only: no path, query, fragment, user name, blank or control byte.
        if (byte <= 0x20 || byte >= 0x7f || c == '/' || c == '?' || c == '#' || c == '@' ||
            c == '\\')
            return false;
    }
    return true;
}
