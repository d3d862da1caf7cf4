#pragma once

#include <string>
#include <vector>

struct TServiceUser {
    std::string Name;
    std::string Password;
    bool IsAdmin = false;
};

struct TServiceChannel {
    std::string Id;
    std::string Name;
    // As written in the data file and sent in the channel list, e.g. "en,de".
    std::string Languages;
    // The same split at ","; a language's position is its audio track's position.
    std::vector<std::string> LanguageList;
};

// The users and channels of the service, read once at start from the data folder:
// users.txt ("name:password:admin|user") and channels.txt ("id;name;languages").
// Lines that are empty or start with "#" are skipped. Read-only afterwards, so any
// thread may use it without a lock.
class TServiceData {
public:
    // False with a message naming the file and line when a file is missing or malformed.
    bool Load(const std::string& folder, std::string& error);

    const TServiceUser* FindUser(const std::string& name) const;
    const TServiceChannel* FindChannel(const std::string& id) const;
    const std::vector<TServiceChannel>& Channels() const { return ChannelsRead; }

    // Position of the language in the channel's list, or -1.
    static int LanguageIndex(const TServiceChannel& channel, const std::string& language);

private:
    std::vector<TServiceUser> Users;
    std::vector<TServiceChannel> ChannelsRead;
};
