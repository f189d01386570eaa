#include "platform/extension.h"

#include "http/vendor.h"
#include "http/webservice.h"
#include "server/jsontext.h"
#include "updater/defaultupdater.h"
#include "updater/runinstaller.h"
#include "updater/simplexmlparser.h"

#include <QFile>
#include <QJsonObject>
#include <QStandardPaths>

const QString ExtensionUuid = QStringLiteral("pavo@osmunda.org");

QString installedExtensionVersion()
{
    // The shell takes the user's copy first, then the first one among the system data folders:
    // an extension installed by the package counts as installed.
    const QString path = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                QStringLiteral("gnome-shell/extensions/") + ExtensionUuid +
                                                    QStringLiteral("/metadata.json"));
    // Not installed anywhere: asking QFile to open no name would only add a warning to the log.
    QFile metadata(path);
    if (path.isEmpty() || !metadata.open(QIODevice::ReadOnly))
        return QStringLiteral("0");
    return QString::number(parseJson(metadata.readAll()).object().value(QStringLiteral("version")).toInt());
}

updater::DefaultUpdater* createExtensionUpdater(const QString& scriptsDirectory, QObject* parent)
{
    auto* updater = new updater::DefaultUpdater(parent);
    updater->setImmediateInstall(true);
    updater->setCurrentVersion(installedExtensionVersion());
    updater->setFeedUrl(QUrl(QString::fromUtf8(webServiceBaseUrl() + "/gnome-shell-extension.xml")));
    // The updater only borrows its parser: it goes with the updater.
    auto* parser = new updater::SimpleXmlParser;
    updater->setParser(parser);
    QObject::connect(updater, &QObject::destroyed, [parser] { delete parser; });
    updater->setDownloadUrl(
        QUrl(QStringLiteral("https://" PAVO_DOWNLOAD_HOST "/files/pavo/gnome-shell-extension.zip")));
    auto* installer = new updater::RunInstaller(updater);
    installer->setCommand(QStringLiteral("bash"));
    installer->setArguments({scriptsDirectory + QStringLiteral("/install-extension.sh"), QStringLiteral("%filename%")});
    updater->setInstaller(installer);
    return updater;
}
