#include "updater/downloader.h"

#include "http/http.h"

#include <QRandomGenerator>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace updater {

namespace {

// The decimal digits of a random number, hex-encoded: 64 bits from the system's generator.
QString randomPrefix()
{
    return QString::fromLatin1(QByteArray::number(QRandomGenerator::system()->generate64()).toHex());
}

} // namespace

Downloader::Downloader(QObject* parent) : QObject(parent) {}

void Downloader::download(const QUrl& url)
{
    path = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QLatin1Char('/') + randomPrefix() +
           url.fileName();
    HttpRequest request;
    request.url = url;
    reply = Http::instance().networkReply(request);
    connect(reply, &QNetworkReply::readyRead, this, &Downloader::write);
    connect(reply, &QNetworkReply::errorOccurred, this, &Downloader::networkError);
    connect(reply, &QNetworkReply::downloadProgress, this, &Downloader::onProgress);
    connect(reply, &QNetworkReply::finished, this, &Downloader::done);
}

void Downloader::cancel()
{
    if (!reply)
        return;
    abort();
    emit error(QStringLiteral("Canceled"));
}

// The temporary directory is shared with every local user: never follow a link or reuse a file
// that someone else may have put there.
bool Downloader::openFile()
{
    if (file.isOpen())
        return true;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        emit error(QStringLiteral("Error opening file: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    if (!file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        emit error(QStringLiteral("Error opening file: %1").arg(file.errorString()));
        return false;
    }
    return true;
}

void Downloader::write()
{
    if (!reply)
        return;
    if (!openFile()) {
        abort();
        return;
    }
    const QByteArray bytes = reply->readAll();
    if (file.write(bytes) != bytes.size()) {
        emit error(file.errorString());
        abort();
    }
}

void Downloader::networkError(QNetworkReply::NetworkError code)
{
    Q_UNUSED(code)
    const QString message = reply->errorString();
    // Already failed: aborting it now would only make the network layer complain.
    release();
    emit error(message);
}

void Downloader::onProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (bytesTotal > 0)
        emit progress(int(bytesReceived * 100 / bytesTotal));
}

void Downloader::done()
{
    if (!reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        const QString message = reason.isEmpty() ? reply->errorString() : reason;
        abort();
        emit error(message);
        return;
    }
    // An empty body never made a readyRead, but there must still be a file to hand over.
    if (!openFile()) {
        abort();
        return;
    }
    file.close();
    reply->deleteLater();
    reply = nullptr;
    emit fileReady(path);
}

// Released before the abort, which would otherwise report itself as a second error.
void Downloader::abort()
{
    QNetworkReply* old = reply;
    release();
    old->abort();
}

void Downloader::release()
{
    disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();
    reply = nullptr;
}

} // namespace updater
