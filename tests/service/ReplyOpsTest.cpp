#include "service/ReplyOps.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplyOpsTest, ErrorFromReplyKnowsTheCodesExactly) {
    const struct {
        QByteArray Reply;
        const char* Message;
    } cases[] = {
        {"0", "Command failed"},
        {"OK", "OK"},
        {"ERR", "Error executing command"},
        {"DBERR", "Database error"},
        {"NPA", "Parameter error"},
        {"UC", "Unknown command"},
        {"ACC", "Access Denied"},
        {"", "Empty response"},
        {"acc", ""},
        {"ok", ""},
        {"OK\r\n", ""},
        {"OK ", ""},
        {" ACC", ""},
        {"admin", ""},
        {"http://127.0.0.1/stream", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorFromReply(c.Reply), QString::fromLatin1(c.Message)) << c.Reply.constData();
}

TEST(ReplyOpsTest, SplitReplyKeepsEmptyItemsButNotATrailingEmptyOne) {
    using L = QList<QByteArray>;
    const struct {
        QByteArray Reply;
        L Items;
    } cases[] = {
        {"a;b", L{"a", "b"}},
        {"a;b;", L{"a", "b"}},
        {"a;;b", L{"a", "", "b"}},
        {";", L{""}},
        {"", L{}},
        {";;", L{"", ""}},
        {" a ; b\r\n", L{" a ", " b\r\n"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitReply(c.Reply), c.Items) << c.Reply.constData();
}

TEST(ReplyOpsTest, AStatusOfFourOrMoreItemsIsABroadcast) {
    QByteArray cid = "old", lang = "old", url = "old";
    EXPECT_TRUE(ParseStatusReply("x;12;en;http://127.0.0.1:8080/bdc", cid, lang, url));
    EXPECT_EQ(cid, "12");
    EXPECT_EQ(lang, "en");
    EXPECT_EQ(url, "http://127.0.0.1:8080/bdc");

    EXPECT_TRUE(ParseStatusReply("x;3;de;http://h/b;extra;more", cid, lang, url));
    EXPECT_EQ(cid, "3");
    EXPECT_EQ(url, "http://h/b");
}

TEST(ReplyOpsTest, AStatusOfFewerItemsLeavesTheOutputsAlone) {
    for (const QByteArray& reply :
         {QByteArray("x;12;en"), QByteArray("x;12;en;"), QByteArray(""), QByteArray("none")}) {
        QByteArray cid = "keep", lang = "keep", url = "keep";
        EXPECT_FALSE(ParseStatusReply(reply, cid, lang, url)) << reply.constData();
        EXPECT_EQ(cid, "keep");
        EXPECT_EQ(lang, "keep");
        EXPECT_EQ(url, "keep");
    }
}

TEST(ReplyOpsTest, ParseChannelListDealsTheItemsOut) {
    using L = QList<QByteArray>;
    const struct {
        QByteArray Reply;
        L Ids, Names, Languages;
    } cases[] = {
        {"1;News;en,de;2;Sport;fr", L{"1", "2"}, L{"News", "Sport"}, L{"en,de", "fr"}},
        {"1;News;en,de;2;Sport;fr;", L{"1", "2"}, L{"News", "Sport"}, L{"en,de", "fr"}},
        {"1;News;en,de;2", L{"1", "2"}, L{"News"}, L{"en,de"}},
        {"7;News;;", L{"7"}, L{"News"}, L{""}},
        {"7;News;", L{"7"}, L{"News"}, L{}},
        {"", L{}, L{}, L{}},
    };
    for (const auto& c : cases) {
        const TChannelLists lists = ParseChannelList(c.Reply);
        EXPECT_EQ(lists.ChannelIds, c.Ids) << c.Reply.constData();
        EXPECT_EQ(lists.ChannelNames, c.Names) << c.Reply.constData();
        EXPECT_EQ(lists.ChannelLanguages, c.Languages) << c.Reply.constData();
    }
}

} // namespace
