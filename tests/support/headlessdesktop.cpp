#include "tests/support/headlessdesktop.h"

#include "server/protocol.h"
#include "tests/support/testclient.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSettings>
#include <QtTest>

HeadlessDesktop::~HeadlessDesktop()
{
    // The program first, so that it never sees its display and desktop vanish.
    for (QProcess* process : {&program, &desktop, &display}) {
        process->terminate();
        process->waitForFinished();
    }
}

bool HeadlessDesktop::start(const QString& standInState)
{
    if (!panel.registerOn(QDBusConnection::sessionBus()))
        return false;
    display.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    if (!display.waitForStarted() || !QTest::qWaitFor([this] { return display.canReadLine(); }, 10000))
        return false;
    displayName = ':' + QString::fromLatin1(display.readLine().trimmed());

    desktop.start(PAVO_STANDIN_PATH, standInState.isEmpty() ? QStringList() : QStringList{standInState});
    return desktop.waitForStarted() && QTest::qWaitFor([] {
               return QDBusConnection::sessionBus().interface()->isServiceRegistered("org.gnome.Shell").value();
           });
}

void HeadlessDesktop::startProgram(const QString& path, const QProcessEnvironment& extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", displayName);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert(extra);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(path, QStringList());
}

QProcessEnvironment HeadlessDesktop::german()
{
    QProcessEnvironment environment;
    environment.insert("LANGUAGE", "de");
    environment.insert("LANG", "de_DE.UTF-8");
    environment.insert("LC_ALL", "de_DE.UTF-8");
    return environment;
}

quint16 HeadlessDesktop::waitForPort() const
{
    if (!QTest::qWaitFor([] { return QSettings().contains("lastUsedPort"); }, 20000))
        return 0;
    return quint16(QSettings().value("lastUsedPort").toUInt());
}

QString HeadlessDesktop::waitForTrayItem()
{
    if (!QTest::qWaitFor([this] { return panel.registeredItems().size() == 1; }, 20000))
        return QString();
    return panel.registeredItems().first();
}

bool HeadlessDesktop::authorizeThroughPrompt(TestClient& device) const
{
    if (device.nextJson().value(Key::Method).toString() != Method::Wait)
        return false;
    QProcess answer;
    answer.setProcessChannelMode(QProcess::ForwardedChannels);
    answer.start("bash", {PAVO_SOURCE_DIR "/tools/answer-prompt.sh", displayName});
    if (!answer.waitForFinished(20000) || answer.exitCode() != 0)
        return false;
    return !device.nextJson().value(Key::Secret).toString().isEmpty() && device.nextJson().value(Key::Value).toBool();
}

bool HeadlessDesktop::quitThroughMenu(const QString& item, const QString& quitLabel)
{
    return panel.clickMenuEntry(item, quitLabel) && program.waitForFinished(10000) &&
           program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
}
