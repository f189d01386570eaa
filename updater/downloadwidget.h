#pragma once

#include <QWidget>

class QDialog;
class QLabel;
class QProgressBar;

namespace updater {

class Downloader;

// How far a download has got, and why it failed. Follows only the download running when it is
// made; closing the dialog any other way than OK cancels that download.
class DownloadWidget : public QWidget
{
    Q_OBJECT
public:
    DownloadWidget(const QString& title, Downloader* download, QDialog* dialog);

public slots:
    void setProgress(int percent);
    void setErrorMessage(const QString& message);

private:
    QProgressBar* progressBar;
    QLabel* errorLabel;
};

} // namespace updater
