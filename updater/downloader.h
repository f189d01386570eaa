#pragma once

#include <QFile>
#include <QNetworkReply>
#include <QObject>

namespace updater {

// Downloads one file into the temporary directory. The file is created only by this process, as
// its owner's alone, under a name nobody can guess: what it holds may later be installed with
// administrator rights. It is handed over only when it came over https and carries the vendor's
// signature; a download that fails for any reason leaves no file behind.
class Downloader : public QObject
{
    Q_OBJECT
public:
    explicit Downloader(QObject* parent = nullptr);

    // signature: the feed's base64 Ed25519 signature of the file.
    void download(const QUrl& url, const QByteArray& signature);
    void cancel();
    // Known once download() has been called.
    QString fileName() const { return path; }

signals:
    void progress(int percent);
    void error(QString message);
    void fileReady(QString filename);

private slots:
    void write();
    void networkError(QNetworkReply::NetworkError code);
    void onProgress(qint64 bytesReceived, qint64 bytesTotal);
    void done();

private:
    QString openFile();
    void abort();
    void release();
    void fail(const QString& message);

    QNetworkReply* reply = nullptr;
    QUrl source;
    QByteArray signature;
    QString path;
    QFile file;
    bool created = false;
};

} // namespace updater
