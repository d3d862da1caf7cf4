#include "ServiceText.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <cstdio>

std::string PercentDecode(const std::string& text, bool plusIsBlank) {
    return httplib::detail::decode_url(text, plusIsBlank);
}

TQueryItems ParseQuery(const std::string& query) {
    TQueryItems items;
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string item = query.substr(start, end - start);
        if (!item.empty()) {
            const std::size_t eq = item.find('=');
            if (eq == std::string::npos)
                items.emplace_back(PercentDecode(item, true), std::string());
            else
                items.emplace_back(PercentDecode(item.substr(0, eq), true),
                                   PercentDecode(item.substr(eq + 1), true));
        }
        start = end + 1;
    }
    return items;
}

const std::string* QueryValue(const TQueryItems& items, const std::string& name) {
    const std::string* value = nullptr;
    for (const auto& item : items)
        if (item.first == name)
            value = &item.second;
    return value;
}

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

bool Base64Decode(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    std::string decoded(text.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0)
        return false;
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    bytes = decoded.substr(0, static_cast<std::size_t>(length) - padding);
    return true;
}

std::string PathEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}
