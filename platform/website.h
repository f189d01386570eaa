#pragma once

#include <QJsonObject>
#include <QObject>

// One website's command document from the web service's catalogue, kept as it came: only
// clients read it.
class Website : public QObject
{
    Q_OBJECT
public:
    explicit Website(const QJsonObject& commands);

    const QJsonObject& commands() const { return document; }

private:
    const QJsonObject document;
};
