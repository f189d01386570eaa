#pragma once

#include <QFile>
#include <QNetworkReply>
#include <QObject>

namespace updater {

// Downloads one file into the temporary directory. The file is created only by this process, as
// its owner's alone, under a name nobody can guess: what it holds may later be installed with
// administrator rights.
class Downloader : public QObject
{
    Q_OBJECT
public:
    explicit Downloader(QObject* parent = nullptr);

    void download(const QUrl& url);
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
    bool openFile();
    void abort();
    void release();

    QNetworkReply* reply = nullptr;
    QString path;
    QFile file;
};

} // namespace updater
