#include "app/identity.h"
#include "app/singleapplication.h"
#include "ui/ui.h"
#include "updater/updatersetup.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QNetworkProxyFactory>
#include <QTranslator>

namespace {

// An installed program has its translations in the shared data folder; a build-tree run finds
// them beside the binary.
QString translationsDirectory()
{
    const QString installed = QStringLiteral("/usr/share/pavo-server/locale");
    if (QDir(installed).exists())
        return installed;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/locale");
}

void installTranslations(QCoreApplication& app)
{
    auto* qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(QStringLiteral("qt_") + QLocale::system().name(),
                           QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslator);

    // Files are named after the languages alone (de.qm, pt_BR.qm); a missing one means English.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale::system(), QString(), QString(), translationsDirectory()))
        QCoreApplication::installTranslator(translator);
}

} // namespace

int main(int argc, char* argv[])
{
    setUpIdentity();
    QCoreApplication::setAttribute(Qt::AA_DontShowIconsInMenus);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus);
    // The program lives in the tray: closing a dialog must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start as the same user ends quietly in here.
    SingleApplication app(argc, argv, SingleApplication::User, 1000);
    installTranslations(app);
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    setUpUpdater();
    UI ui;
    return app.exec();
}
