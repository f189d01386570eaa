#include "updater/downloadwidget.h"

#include "updater/downloader.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace updater {

DownloadWidget::DownloadWidget(const QString& title, Downloader* download, QDialog* dialog)
    : QWidget(dialog), progressBar(new QProgressBar), errorLabel(new QLabel)
{
    auto* titleLabel = new QLabel(title);
    titleLabel->setTextFormat(Qt::PlainText);
    QFont font = titleLabel->font();
    font.setWeight(QFont::Bold);
    titleLabel->setFont(font);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    ok->setFocus();
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    // Nothing is left to cancel.
    connect(progressBar, &QProgressBar::valueChanged, cancel, [cancel](int value) {
        if (value == 100)
            cancel->hide();
    });

    errorLabel->setTextFormat(Qt::PlainText);
    errorLabel->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(15);
    layout->addWidget(titleLabel);
    layout->addWidget(progressBar);
    layout->addWidget(buttons);
    layout->addWidget(errorLabel);

    if (download) {
        connect(download, &Downloader::progress, this, &DownloadWidget::setProgress);
        connect(download, &Downloader::error, this, &DownloadWidget::setErrorMessage);
        connect(dialog, &QDialog::rejected, download, &Downloader::cancel);
    }
}

void DownloadWidget::setProgress(int percent)
{
    progressBar->setValue(percent);
}

void DownloadWidget::setErrorMessage(const QString& message)
{
    errorLabel->setText(message);
    errorLabel->show();
}

} // namespace updater
