#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Replies of the service are 8-bit texts taken exactly as received: compared
// case-sensitively and never trimmed, so a trailing line end is part of the reply.

// The message of a reply code ("ACC" gives "Access Denied", the empty reply "Empty
// response"), or the empty text when the reply is not a code.
QString ErrorFromReply(const QByteArray& reply);

// The reply split at ";". Every ";" ends an item, even an empty one; the text after the
// last ";" is an item only when it is not empty.
QList<QByteArray> SplitReply(const QByteArray& reply);

// A broadcast status of four or more items: false and the outputs untouched when the
// reply has fewer (no broadcast is running).
bool ParseStatusReply(const QByteArray& reply, QByteArray& channelId, QByteArray& language,
                      QByteArray& streamUrl);

struct TChannelLists {
    QList<QByteArray> ChannelIds;
    QList<QByteArray> ChannelNames;
    QList<QByteArray> ChannelLanguages;
};

// The items of the reply dealt out in turn to identifiers, names and language lists. A
// reply whose item count is no multiple of three leaves the earlier lists longer.
TChannelLists ParseChannelList(const QByteArray& reply);
