#include "service/ReplyOps.h"

#include <array>
#include <utility>

QString ErrorFromReply(const QByteArray& reply) {
    if (reply.isEmpty())
        return QStringLiteral("Empty response");
    static const std::array<std::pair<const char*, const char*>, 7> codes{{
        {"0", "Command failed"},
        {"OK", "OK"},
        {"ERR", "Error executing command"},
        {"DBERR", "Database error"},
        {"NPA", "Parameter error"},
        {"UC", "Unknown command"},
        {"ACC", "Access Denied"},
    }};
    for (const auto& [code, message] : codes) {
        if (reply == code)
            return QString::fromLatin1(message);
    }
    return QString();
}

QList<QByteArray> SplitReply(const QByteArray& reply) {
    QList<QByteArray> items;
    QByteArray current;
    for (const char c : reply) {
        if (c == ';') {
            items.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty())
        items.append(current);
    return items;
}

bool ParseStatusReply(const QByteArray& reply, QByteArray& channelId, QByteArray& language,
                      QByteArray& streamUrl) {
    const QList<QByteArray> items = SplitReply(reply);
    if (items.size() < 4)
        return false;
    channelId = items[1];
    language = items[2];
    streamUrl = items[3];
    return true;
}

TChannelLists ParseChannelList(const QByteArray& reply) {
    TChannelLists lists;
    const QList<QByteArray> items = SplitReply(reply);
    for (qsizetype i = 0; i < items.size(); ++i) {
        switch (i % 3) {
        case 0:
            lists.ChannelIds.append(items[i]);
            break;
        case 1:
            lists.ChannelNames.append(items[i]);
            break;
        default:
            lists.ChannelLanguages.append(items[i]);
            break;
        }
    }
    return lists;
}
