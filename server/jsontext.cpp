#include "server/jsontext.h"

#include <algorithm>
#include <forward_list>
#include <string>
#include <string_view>
#include <vector>

namespace {
constexpr auto npos = std::string_view::npos;

// Lone surrogates are written as if they were code points, so that two different ones stay
// different keys, as they do for the parser.
void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The four hex digits of a \u escape that starts at text[at]; -1 when they are not there.
long hexUnit(std::string_view text, size_t at)
{
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u')
        return -1;
    long unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// Appends the character of the escape at text[at] and returns the index after it.
size_t appendEscape(std::string& out, std::string_view text, size_t at)
{
    static constexpr std::string_view From = "bfnrt", To = "\b\f\n\r\t";
    const char c = at + 1 < text.size() ? text[at + 1] : '\\';
    if (c != 'u') {
        const size_t simple = From.find(c);
        out += simple == npos ? c : To[simple];
        return at + 2;
    }
    const long unit = hexUnit(text, at);
    if (unit < 0) {
        out += c;
        return at + 2;
    }
    const long low = unit >= 0xD800 && unit < 0xDC00 ? hexUnit(text, at + 6) : -1;
    if (low >= 0xDC00 && low < 0xE000) {
        appendUtf8(out, char32_t(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        return at + 12;
    }
    appendUtf8(out, char32_t(unit));
    return at + 6;
}

std::string unescape(std::string_view text)
{
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\\') {
            i = appendEscape(out, text, i);
        } else {
            out += text[i];
            ++i;
        }
    }
    return out;
}

// The index of the quote that closes the string whose text starts at from.
size_t stringEnd(std::string_view text, size_t from)
{
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == '"')
            return i;
        if (text[i] == '\\')
            ++i;
    }
    return npos;
}

bool followedByColon(std::string_view text, size_t from)
{
    const size_t next = text.find_first_not_of(" \t\n\r", from);
    return next != npos && text[next] == ':';
}

bool repeats(std::vector<std::string_view>& keys, size_t first)
{
    const auto begin = keys.begin() + std::ptrdiff_t(first);
    std::sort(begin, keys.end());
    return std::adjacent_find(begin, keys.end()) != keys.end();
}
} // namespace

bool hasDuplicateKey(const QByteArray& json)
{
    const std::string_view text(json.constData(), size_t(json.size()));
    std::vector<std::string_view> keys;           // of every open object, innermost last
    std::vector<size_t> objects;                  // where each open object's keys begin
    std::forward_list<std::string> unescapedKeys; // the few keys written with escapes
    // A request has a handful: one allocation instead of several.
    keys.reserve(16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{') {
            objects.push_back(keys.size());
        } else if (text[i] == '}' && !objects.empty()) {
            if (repeats(keys, objects.back()))
                return true;
            keys.resize(objects.back());
            objects.pop_back();
        } else if (text[i] == '"') {
            const size_t end = stringEnd(text, i + 1);
            if (end == npos)
                return false;
            std::string_view key = text.substr(i + 1, end - i - 1);
            if (!objects.empty() && followedByColon(text, end + 1))
                keys.push_back(key.find('\\') == npos ? key : unescapedKeys.emplace_front(unescape(key)));
            i = end;
        }
    }
    return false;
}

QJsonDocument parseJson(const QByteArray& json, QString* error)
{
    QString reason;
    QJsonDocument document;
    if (hasDuplicateKey(json)) {
        reason = QStringLiteral("duplicate key");
    } else {
        QJsonParseError parseError;
        document = QJsonDocument::fromJson(json, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            reason = parseError.errorString();
    }
    if (error)
        *error = reason;
    return document;
}
