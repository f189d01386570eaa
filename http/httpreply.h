#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>

// The answer to one request. Emits data at most once, error at most once, then finished exactly
// once, and deletes itself soon after: receivers must not keep the pointer past that turn of the
// event loop.
class HttpReply : public QObject
{
    Q_OBJECT
public:
    using RawHeaders = QList<QPair<QByteArray, QByteArray>>;

    explicit HttpReply(QObject* parent = nullptr);

    virtual QUrl url() const = 0;
    virtual int statusCode() const = 0;
    virtual QString reasonPhrase() const { return {}; }
    virtual RawHeaders headers() const { return {}; }
    virtual QByteArray header(const QByteArray& name) const;
    virtual QByteArray body() const = 0;

    bool isSuccessful() const;

signals:
    void data(QByteArray bytes);
    void error(QString message);
    void finished(HttpReply* reply);
};
