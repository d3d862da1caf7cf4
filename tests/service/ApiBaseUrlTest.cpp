#include "service/ApiBaseUrl.h"

#include <gtest/gtest.h>

namespace {

TEST(ApiBaseUrlTest, TheEnvironmentOverridesTheCompiledAddress) {
    qunsetenv("KAVRIEN_API_URL");
    const QByteArray compiled = ApiBaseUrl();
    EXPECT_TRUE(IsValidApiBaseUrl(compiled)) << compiled.constData();

    qputenv("KAVRIEN_API_URL", "https://127.0.0.1:4443/admin/api.php?");
    EXPECT_EQ(ApiBaseUrl(), "https://127.0.0.1:4443/admin/api.php?");
    qputenv("KAVRIEN_API_URL", "");
    EXPECT_EQ(ApiBaseUrl(), compiled) << "an empty variable counts as unset";
    qunsetenv("KAVRIEN_API_URL");
}

TEST(ApiBaseUrlTest, OnlyAnHttpsAddressOfTheApiPathEndingWithAQuestionMarkIsValid) {
    const struct {
        const char* Url;
        bool Valid;
    } cases[] = {
        {"https://127.0.0.1:4443/admin/api.php?", true},
        {"https://service.example:8443/admin/api.php?", true},
        {"HTTPS://localhost/admin/api.php?", true},
        {"https://[::1]:4443/admin/api.php?", true},
        {"http://127.0.0.1/admin/api.php?", false},
        {"https://127.0.0.1/admin/api.php", false},
        {"https://127.0.0.1/admin/api.php?cmd=test", false},
        {"https://127.0.0.1/other/admin/api.php?", false},
        {"https:///admin/api.php?", false},
        {"https://user:pw@host/admin/api.php?", false},
        {"https://ho st/admin/api.php?", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidApiBaseUrl(c.Url), c.Valid) << c.Url;
}

} // namespace
