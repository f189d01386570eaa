#include "updater/dialog.h"

#include "updater/defaultupdater.h"
#include "updater/downloadwidget.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedLayout>

namespace updater {

namespace {

// Feed texts are shown as they are, never as markup.
QLabel* plainLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

Dialog::Dialog(DefaultUpdater* updater, QWidget* parent) : QDialog(parent), updater(updater), pages(new QStackedLayout)
{
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(15);
    if (!updater->icon().isNull()) {
        auto* icon = new QLabel;
        icon->setPixmap(updater->icon().pixmap(64, 64));
        layout->addWidget(icon, 0, Qt::AlignTop);
    }
    layout->addLayout(pages, 1);

    connect(updater, &Updater::statusChanged, this, &Dialog::showStatus);
    showStatus(updater->status());
}

void Dialog::showStatus(Updater::Status status)
{
    switch (status) {
    case Updater::UpdateAvailable:
        setPage(availablePage());
        break;
    case Updater::UpToDate:
        setPage(new QLabel(tr("You already have the latest version")));
        break;
    case Updater::DownloadingUpdate:
    case Updater::UpdateDownloaded:
    case Updater::UpdateDownloadFailed:
        setPage(downloadPage());
        break;
    case Updater::Unknown:
        break;
    }
}

void Dialog::setPage(QWidget* page)
{
    QWidget* current = pages->currentWidget();
    if (page == current)
        return;
    if (current) {
        pages->removeWidget(current);
        current->deleteLater();
        // On its way out: a later download needs a page of its own.
        if (current == download)
            download = nullptr;
    }
    pages->addWidget(page);
    pages->setCurrentWidget(page);
}

QWidget* Dialog::availablePage()
{
    const QString name = updater->displayName();
    QLabel* title = plainLabel(tr("A new version of %1 is available!").arg(name));
    QFont font = title->font();
    font.setWeight(QFont::Bold);
    title->setFont(font);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(tr("Remind Me Later"), QDialogButtonBox::RejectRole);
    buttons->addButton(tr("Download Update"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, updater, &DefaultUpdater::startDownload);

    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(15);
    form->addRow(title);
    form->addRow(plainLabel(
        tr("%1 %2 is now available. You have %3.").arg(name, updater->version(), updater->currentVersion())));
    form->addRow(new QLabel(tr("Would you like to download it now?")));
    form->addRow(buttons);
    return page;
}

QWidget* Dialog::downloadPage()
{
    if (!download) {
        const QString title = tr("Downloading %1 %2...").arg(updater->displayName(), updater->version());
        download = new DownloadWidget(title, updater->runningDownload(), this);
    }
    return download;
}

} // namespace updater
