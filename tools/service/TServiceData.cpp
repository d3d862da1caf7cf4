#include "TServiceData.h"

#include <fstream>

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// Calls take(line, number) for every line that holds data; stops at the first false.
template <typename Take> bool ReadLines(const std::string& path, std::string& error, Take take) {
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be read";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (!take(line)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
    }
    return true;
}

} // namespace

bool TServiceData::Load(const std::string& folder, std::string& error) {
    Users.clear();
    ChannelsRead.clear();
    const bool usersRead = ReadLines(folder + "/users.txt", error, [&](const std::string& line) {
        const std::vector<std::string> parts = Split(line, ':');
        if (parts.size() != 3 || parts[0].empty() || (parts[2] != "admin" && parts[2] != "user")) {
            error = "expected name:password:admin|user";
            return false;
        }
        Users.push_back({parts[0], parts[1], parts[2] == "admin"});
        return true;
    });
    if (!usersRead)
        return false;
    const bool channelsRead =
        ReadLines(folder + "/channels.txt", error, [&](const std::string& line) {
            const std::vector<std::string> parts = Split(line, ';');
            if (parts.size() != 3 || parts[0].empty() || parts[1].empty() || parts[2].empty()) {
                error = "expected id;name;languages";
                return false;
            }
            if (FindChannel(parts[0]) != nullptr) {
                error = "channel id " + parts[0] + " given twice";
                return false;
            }
            ChannelsRead.push_back({parts[0], parts[1], parts[2], Split(parts[2], ',')});
            return true;
        });
    if (!channelsRead)
        return false;
    if (Users.empty() || ChannelsRead.empty()) {
        error = folder + ": needs at least one user and one channel";
        return false;
    }
    return true;
}

const TServiceUser* TServiceData::FindUser(const std::string& name) const {
    for (const TServiceUser& user : Users)
        if (user.Name == name)
            return &user;
    return nullptr;
}

const TServiceChannel* TServiceData::FindChannel(const std::string& id) const {
    for (const TServiceChannel& channel : ChannelsRead)
        if (channel.Id == id)
            return &channel;
    return nullptr;
}

int TServiceData::LanguageIndex(const TServiceChannel& channel, const std::string& language) {
    for (std::size_t i = 0; i < channel.LanguageList.size(); ++i)
        if (channel.LanguageList[i] == language)
            return static_cast<int>(i);
    return -1;
}
