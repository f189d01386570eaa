#pragma once

#include "updater/parser.h"

namespace updater {

// A Sparkle appcast: every item's enclosure is read, so the last item in the document wins. The
// file's Ed25519 signature is the enclosure's sparkle:edSignature.
class AppcastParser : public Parser
{
public:
    void parse(const QByteArray& bytes) override;

private:
    void readItem(QXmlStreamReader& reader);
    void readEnclosure(QXmlStreamReader& reader);
};

} // namespace updater
