#pragma once

#include "updater/parser.h"

#include <QStringList>

namespace updater {

// <release><version>1.6</version><url>https://...</url><signature>base64</signature></release>;
// the last of each wins. The signature is the file's Ed25519 signature (tools/sign-release.sh).
class SimpleXmlParser : public Parser
{
public:
    SimpleXmlParser(const QString& root = QStringLiteral("release"), const QString& version = QStringLiteral("version"),
                    const QString& url = QStringLiteral("url"));
    void parse(const QByteArray& bytes) override;
    // Filled into the url text with QString::arg, in order.
    void setUrlArguments(const QStringList& arguments) { urlArguments = arguments; }

private:
    QString rootName;
    QString versionName;
    QString urlName;
    QStringList urlArguments;
};

} // namespace updater
