#include "server/requesthead.h"

#include <algorithm>

namespace {
const QByteArray LineEnd = QByteArrayLiteral("\r\n");
const QByteArray HeadEnd = QByteArrayLiteral("\r\n\r\n");

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArray::fromRawData("!#$%&'*+-.^_`|~", 15).contains(c);
}

bool isToken(const QByteArray& bytes)
{
    return !bytes.isEmpty() && std::all_of(bytes.begin(), bytes.end(), isTokenChar);
}

// Field values may carry any byte but controls other than tab.
bool isFieldValue(const QByteArray& bytes)
{
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = uchar(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7f;
    });
}

// Any byte may follow the slash: what a target holds is for the side that answers to judge, and
// the WebSocket side has always read raw bytes in its query.
bool isOriginFormTarget(const QByteArray& bytes)
{
    return bytes.startsWith('/') && !bytes.contains('\r') && !bytes.contains('\n');
}
} // namespace

int RequestHead::completeSize(const QByteArray& bytes)
{
    const int end = bytes.indexOf(HeadEnd);
    return end < 0 ? 0 : end + HeadEnd.size();
}

RequestHead RequestHead::parse(const QByteArray& head)
{
    RequestHead parsed;
    if (completeSize(head) != head.size())
        return parsed;
    // Every line, the last included, keeps its line end to split on; a stray CR or LF inside a
    // line fails the checks of its part.
    const QByteArray lines = head.left(head.size() - 2);
    int start = lines.indexOf(LineEnd);
    if (!parsed.parseRequestLine(lines.left(start)))
        return parsed;
    for (start += LineEnd.size(); start < lines.size();) {
        const int end = lines.indexOf(LineEnd, start);
        if (!parsed.parseField(lines.mid(start, end - start)))
            return parsed;
        start = end + LineEnd.size();
    }
    parsed.valid = true;
    return parsed;
}

bool RequestHead::parseRequestLine(const QByteArray& line)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3)
        return false;
    requestMethod = parts.at(0);
    target = parts.at(1);
    const QByteArray& version = parts.at(2);
    return isToken(requestMethod) && isOriginFormTarget(target) && (version == "HTTP/1.1" || version == "HTTP/1.0");
}

bool RequestHead::parseField(const QByteArray& line)
{
    const int colon = line.indexOf(':');
    if (colon < 0)
        return false;
    const QByteArray name = line.left(colon);
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (!isToken(name) || !isFieldValue(value))
        return false;
    fields.append({name.toLower(), value});
    return true;
}

QByteArray RequestHead::path() const
{
    const int query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

QByteArray RequestHead::field(const QByteArray& name) const
{
    const QByteArray key = name.toLower();
    for (const auto& field : fields) {
        if (field.first == key)
            return field.second;
    }
    return QByteArray();
}

int RequestHead::fieldCount(const QByteArray& name) const
{
    const QByteArray key = name.toLower();
    return int(std::count_if(fields.begin(), fields.end(), [&](const auto& field) { return field.first == key; }));
}

bool RequestHead::fieldListsToken(const QByteArray& name, const QByteArray& token) const
{
    const QByteArray key = name.toLower();
    for (const auto& field : fields) {
        if (field.first != key)
            continue;
        for (const QByteArray& item : field.second.split(',')) {
            if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool RequestHead::isWebSocketUpgrade() const
{
    return valid && fieldListsToken("upgrade", "websocket") && fieldListsToken("connection", "upgrade");
}
