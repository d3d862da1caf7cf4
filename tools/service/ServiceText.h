#pragma once

#include <string>
#include <utility>
#include <vector>

// Text helpers of the stand-in service. Texts are bytes; nothing here assumes UTF-8.

using TQueryItems = std::vector<std::pair<std::string, std::string>>;

// %XX decoded, and "+" as a blank when plusIsBlank (query strings, as a PHP service reads
// them).
std::string PercentDecode(const std::string& text, bool plusIsBlank);

// The items of a query string in their order, names and values decoded.
TQueryItems ParseQuery(const std::string& query);

// The value of the last item with that name (later items win, as in PHP), or null.
const std::string* QueryValue(const TQueryItems& items, const std::string& name);

// A JSON string literal. Bytes of 0x80 and above become \u00XX, so a reader gets the bytes
// back by taking each character's code as a byte.
std::string JsonString(const std::string& bytes);

// Standard Base64 (RFC 4648) decoded; false when the text is not valid Base64.
bool Base64Decode(const std::string& text, std::string& bytes);

// Bytes that may not stand in a URL path percent-encoded.
std::string PathEncode(const std::string& text);
