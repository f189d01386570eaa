#include "updater/parser.h"

#include <QXmlStreamReader>

namespace updater {

void Parser::clearError()
{
    error_ = false;
    errorString_.clear();
}

void Parser::takeError(const QXmlStreamReader& reader)
{
    if (!reader.hasError())
        return;
    error_ = true;
    errorString_ = reader.errorString();
}

} // namespace updater
