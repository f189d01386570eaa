#pragma once

#include <QString>

class QXmlStreamReader;

namespace updater {

class DefaultUpdater;

// Reads a release feed into its updater: the offered version, where to download it and the
// file's signature. Fields the feed does not mention keep their previous values, except the
// signature, which only ever comes from the feed just read.
class Parser
{
public:
    virtual ~Parser() = default;
    virtual void parse(const QByteArray& bytes) = 0;

    void setUpdater(DefaultUpdater* updater) { target = updater; }
    bool error() const { return error_; }
    QString errorString() const { return errorString_; }

protected:
    void clearError();
    void takeError(const QXmlStreamReader& reader);

    DefaultUpdater* target = nullptr;

private:
    bool error_ = false;
    QString errorString_;
};

} // namespace updater
