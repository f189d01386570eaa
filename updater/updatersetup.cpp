#include "updater/updatersetup.h"

#include "http/vendor.h"
#include "http/webservice.h"
#include "updater/defaultupdater.h"
#include "updater/runinstaller.h"
#include "updater/simplexmlparser.h"

void setUpUpdater()
{
    auto* updater = new updater::DefaultUpdater;
    updater->setFeedUrl(QUrl(QString::fromUtf8(webServiceBaseUrl() + "/release.xml")));
    updater->setParser(new updater::SimpleXmlParser);
    updater->setDownloadUrl(QUrl(QStringLiteral("https://" PAVO_DOWNLOAD_HOST "/files/pavo/pavo-server.deb")));

    auto* installer = new updater::RunInstaller(updater);
    installer->setCommand(QStringLiteral("dpkg"));
    installer->setArguments({QStringLiteral("-i"), QStringLiteral("%filename%")});
    installer->setRunElevated(true);
    installer->setRelaunch(true);
    updater->setInstaller(installer);
    Updater::setInstance(updater);
}
