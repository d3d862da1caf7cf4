#include "service/LanguageList.h"

namespace {

constexpr char kDelimiter = ',';
constexpr char kQuote = '"';

// Characters 1 to 32 separate items; the text ends at its end or at a zero byte.
bool IsBlank(unsigned char c) {
    return c >= 1 && c <= 32;
}

} // namespace

QList<QByteArray> SplitLanguageList(const QByteArray& text) {
    QList<QByteArray> items;
    const qsizetype end = [&] {
        const qsizetype zero = text.indexOf('\0');
        return zero >= 0 ? zero : text.size();
    }();
    auto at = [&](qsizetype i) -> unsigned char {
        return i < end ? static_cast<unsigned char>(text[i]) : 0;
    };

    qsizetype p = 0;
    while (IsBlank(at(p)))
        ++p;
    while (at(p) != 0) {
        QByteArray item;
        if (at(p) == kQuote) {
            ++p;
            while (at(p) != 0) {
                if (at(p) == kQuote) {
                    ++p;
                    if (at(p) != kQuote)
                        break;
                }
                item.append(static_cast<char>(at(p)));
                ++p;
            }
        } else {
            while (at(p) > 32 && at(p) != kDelimiter) {
                item.append(static_cast<char>(at(p)));
                ++p;
            }
        }
        items.append(item);
        while (IsBlank(at(p)))
            ++p;
        if (at(p) == kDelimiter) {
            if (at(p + 1) == 0)
                items.append(QByteArray());
            do {
                ++p;
            } while (IsBlank(at(p)));
        }
    }
    return items;
}
