#include "updater/simplexmlparser.h"

#include "updater/defaultupdater.h"

#include <QXmlStreamReader>

namespace updater {

SimpleXmlParser::SimpleXmlParser(const QString& root, const QString& version, const QString& url)
    : rootName(root), versionName(version), urlName(url)
{
}

void SimpleXmlParser::parse(const QByteArray& bytes)
{
    clearError();
    // Unlike the rest, a signature from an earlier feed would vouch for nothing.
    target->setSignature({});
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd() && !(reader.readNext() == QXmlStreamReader::StartElement && reader.name() == rootName)) {
    }
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == versionName) {
            target->setVersion(reader.readElementText());
        } else if (reader.name() == urlName) {
            QString url = reader.readElementText();
            for (const QString& argument : qAsConst(urlArguments))
                url = url.arg(argument);
            target->setDownloadUrl(QUrl(url));
        } else if (reader.name() == QLatin1String("signature")) {
            target->setSignature(reader.readElementText().trimmed().toLatin1());
        }
    }
    takeError(reader);
}

} // namespace updater
