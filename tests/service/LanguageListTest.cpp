#include "service/LanguageList.h"

#include <gtest/gtest.h>

namespace {

TEST(LanguageListTest, SplitsAsTheLanguageBoxReadsIt) {
    using L = QList<QByteArray>;
    const struct {
        QByteArray Text;
        L Items;
    } cases[] = {
        {"en,de", L{"en", "de"}},
        {"a, b", L{"a", "b"}},
        {"a b", L{"a", "b"}},
        {"a,", L{"a", ""}},
        {"", L{}},
        {"   ", L{}},
        {"  fr", L{"fr"}},
        {"fr  ", L{"fr"}},
        {"a,,b", L{"a", "", "b"}},
        {",a", L{"", "a"}},
        {"a\tb\r\n", L{"a", "b"}},
        {"\"Swiss German\",fr", L{"Swiss German", "fr"}},
        {"\"a,b\",c", L{"a,b", "c"}},
        {"\"say \"\"hi\"\"\"", L{"say \"hi\""}},
        {"\"open", L{"open"}},
        {"\"a\"b,c", L{"a", "b", "c"}},
        {"x\0y", L{"x"}},
        {"d\xc3\xa9,en", L{"d\xc3\xa9", "en"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitLanguageList(c.Text), c.Items) << '"' << c.Text.constData() << '"';
}

} // namespace
