#include "updater/downloader.h"

#include "http/http.h"
#include "updater/signatureverifier.h"

#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace updater {

namespace {

// The decimal digits of a random number, hex-encoded: 64 bits from the system's generator.
QString randomPrefix()
{
    return QString::fromLatin1(QByteArray::number(QRandomGenerator::system()->generate64()).toHex());
}

} // namespace

Downloader::Downloader(QObject* parent) : QObject(parent) {}

void Downloader::download(const QUrl& url, const QByteArray& expectedSignature)
{
    source = url;
    signature = expectedSignature;
    path = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QLatin1Char('/') + randomPrefix() +
           url.fileName();
    if (url.scheme() != QLatin1String("https")) {
        // Later, as a network failure would come: whoever started the download is still connecting.
        QTimer::singleShot(0, this,
                           [this] { fail(QStringLiteral("Not downloading %1: not https").arg(source.toString())); });
        return;
    }
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
    fail(QStringLiteral("Canceled"));
}

// The temporary directory is shared with every local user: never follow a link or reuse a file
// that someone else may have put there. Empty when the file is open, else why not.
QString Downloader::openFile()
{
    if (file.isOpen())
        return {};
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return QStringLiteral("Error opening file: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    created = true;
    if (!file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QStringLiteral("Error opening file: %1").arg(file.errorString());
    }
    return {};
}

void Downloader::write()
{
    if (!reply)
        return;
    const QString failure = openFile();
    if (!failure.isEmpty()) {
        abort();
        fail(failure);
        return;
    }
    const QByteArray bytes = reply->readAll();
    if (file.write(bytes) != bytes.size()) {
        abort();
        fail(file.errorString());
    }
}

void Downloader::networkError(QNetworkReply::NetworkError code)
{
    Q_UNUSED(code)
    const QString message = reply->errorString();
    // Already failed: aborting it now would only make the network layer complain.
    release();
    fail(message);
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
        fail(message);
        return;
    }
    // An empty body never made a readyRead, but there must still be a file to hand over.
    const QString failure = openFile();
    release();
    if (!failure.isEmpty()) {
        fail(failure);
        return;
    }
    file.close();
    const QString forgery = SignatureVerifier::failure(path, signature);
    if (!forgery.isEmpty()) {
        fail(QStringLiteral("Signature check failed for %1: %2").arg(source.toString(), forgery));
        return;
    }
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

// Only a file this downloader created is removed: a name taken by someone else is theirs.
void Downloader::fail(const QString& message)
{
    file.close();
    if (created)
        QFile::remove(path);
    created = false;
    emit error(message);
}

} // namespace updater
