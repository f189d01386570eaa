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
        }
    }
    takeError(reader);
}

} // namespace updater
