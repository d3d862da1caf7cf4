#include "TRequestLog.h"

void TRequestLog::Add(TLoggedRequest entry) {
    std::lock_guard<std::mutex> guard(Lock);
    entry.Seq = NextSeq++;
    Entries.push_back(std::move(entry));
}

namespace {

std::string JsonPairs(const TQueryItems& items) {
    std::string out = "[";
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k > 0)
            out += ',';
        out += "[" + JsonString(items[k].first) + "," + JsonString(items[k].second) + "]";
    }
    return out + "]";
}

} // namespace

std::string TRequestLog::Json(bool clear) {
    std::vector<TLoggedRequest> entries;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (clear)
            entries.swap(Entries);
        else
            entries = Entries;
    }
    std::string out = "[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TLoggedRequest& e = entries[i];
        out += i == 0 ? "\n" : ",\n";
        out += "{\"seq\":" + std::to_string(e.Seq) + ",\"time_ms\":" + std::to_string(e.TimeMs) +
               ",\"version\":" + JsonString(e.Version) + ",\"query\":" + JsonString(e.Query) +
               ",\"params\":" + JsonPairs(e.Items) + ",\"user\":" + JsonString(e.User) +
               ",\"auth\":" + JsonString(e.Auth) + ",\"cookie\":" + JsonString(e.Cookie) +
               ",\"set_cookie\":" + JsonString(e.SetCookie) +
               ",\"headers\":" + JsonPairs(e.Headers) + "}";
    }
    return out + "\n]\n";
}

void TRequestLog::Clear() {
    std::lock_guard<std::mutex> guard(Lock);
    Entries.clear();
}
