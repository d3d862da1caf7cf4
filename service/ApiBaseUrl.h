#pragma once

#include <QByteArray>

// The service's API address up to and including the "?": the environment variable
// KAVRIEN_API_URL when it is set, else the address compiled in.
QByteArray ApiBaseUrl();

// An https URL whose path is /admin/api.php and which ends with "?".
bool IsValidApiBaseUrl(const QByteArray& url);
