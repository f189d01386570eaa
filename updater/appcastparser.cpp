#include "updater/appcastparser.h"

#include "updater/defaultupdater.h"

#include <QXmlStreamReader>

namespace updater {

namespace {
const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");
}

void AppcastParser::parse(const QByteArray& bytes)
{
    clearError();
    target->setSignature({});
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("item"))
            readItem(reader);
    }
    takeError(reader);
}

void AppcastParser::readItem(QXmlStreamReader& reader)
{
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("enclosure"))
            readEnclosure(reader);
        reader.skipCurrentElement();
    }
}

void AppcastParser::readEnclosure(QXmlStreamReader& reader)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    target->setDownloadUrl(QUrl(attributes.value(QLatin1String("url")).toString()));
    target->setVersion(attributes.value(sparkleNamespace, QLatin1String("version")).toString());
    target->setDisplayVersion(attributes.value(sparkleNamespace, QLatin1String("shortVersionString")).toString());
    target->setSignature(attributes.value(sparkleNamespace, QLatin1String("edSignature")).toLatin1());
}

} // namespace updater
