// The installed program (PAVO_PROGRAM), run by tests/package/check-package.sh in namespaces of its
// own: headless on an X display with the desktop's stand-ins, as a user starts it; then fed a newer
// release (the folder PAVO_RELEASE made by tools/release.sh) from a loopback https server that
// answers for the vendor's host names.
#include "server/protocol.h"
#include "tests/support/headlessdesktop.h"
#include "tests/support/httptestserver.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QDir>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
const QString Program = qEnvironmentVariable("PAVO_PROGRAM");

QString installedVersion()
{
    QProcess query;
    query.start("dpkg-query", {"-W", "-f=${Version}", "pavo-server"});
    query.waitForFinished();
    return QString::fromUtf8(query.readAllStandardOutput());
}

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished() && process.exitCode() == 0;
}

// The text of the first element of that name.
QString elementText(const QByteArray& xml, const QString& name)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            return reader.readElementText();
    }
    return QString();
}
} // namespace

class TestInstalledPackage : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    StandInGnomeExtensions gnomeExtensions{environment.home()};
    HeadlessDesktop desktop;

private slots:
    void initTestCase()
    {
        if (Program.isEmpty() || qgetenv("PAVO_TEST_NETNS") != "1")
            QSKIP("run by tests/package/check-package.sh, in namespaces of its own");
        const QString icon = environment.saveImage("app.png", Qt::blue);
        QVERIFY(desktop.start(environment.writeFile(
            "desktop.json", QString(R"({"installedApps": [{"id": "editor.desktop", "name": "Editor", "icon": "%1"},
                                                   {"id": "terminal.desktop", "name": "Terminal", "icon": "%1"}]})")
                                .arg(icon)
                                .toUtf8())));
    }

    // In German, which it can only read from /usr/share/pavo-server/locale, with the extension
    // scripts from /usr/share/pavo-server/scripts (nothing lies beside /usr/bin/pavo-server): its
    // menu, a device paired through the prompt, the desktop's applications, and Quit.
    void pairAndListInGerman()
    {
        QVERIFY(!QFileInfo("/usr/bin/locale").isDir() && !QFileInfo("/usr/bin/scripts").isDir());
        desktop.startProgram(Program, HeadlessDesktop::german());
        QVERIFY(desktop.program.waitForStarted());
        const quint16 port = desktop.waitForPort();
        const QString item = desktop.waitForTrayItem();
        QTRY_VERIFY(desktop.panel.menuLabels(item).contains("Einstellungen..."));

        TestClient device;
        QVERIFY(device.open(port));
        QVERIFY(desktop.authorizeThroughPrompt(device));
        device.send(request(Method::InstalledApps));
        QStringList ids;
        for (int i = 0; i < 10 && ids.isEmpty(); ++i) {
            for (const QJsonValue& app : device.nextJson().value(Key::Apps).toArray())
                ids.append(app.toObject().value(Key::Id).toString());
        }
        ids.sort();
        QCOMPARE(ids, QStringList({"editor.desktop", "terminal.desktop"}));
        QTRY_VERIFY(gnomeExtensions.commands().contains("enable pavo@osmunda.org"));
        QVERIFY(desktop.quitThroughMenu(item, "Beenden"));
    }

    // Nobody connected: the newer release is downloaded, checked against the key the package
    // installed, handed to "pkexec dpkg -i" (here a pkexec that just runs it, as root) and deleted.
    void updatesItself()
    {
        const QString release = qEnvironmentVariable("PAVO_RELEASE");
        const QByteArray feed = fileContent(release + "/release.xml");
        const QUrl download(elementText(feed, "url"));
        const QUrl product(qEnvironmentVariable("PAVO_PRODUCT_URL"));
        QVERIFY(download.isValid() && product.isValid());

        if (download.host() != product.host())
            QSKIP("the package's host is not the web service's: one loopback server cannot answer for both");

        // Only in this mount namespace: the vendor's host is 127.0.0.1, and the loopback server's
        // certificate the one authority there is.
        HttpTestServer vendor(product.host(), 443);
        environment.writeFile("certs/vendor.pem", vendor.certificate().toPem());
        QVERIFY(run("openssl", {"rehash", environment.home() + "/certs"}));
        QVERIFY(run("mount", {"--bind", environment.home() + "/certs", "/etc/ssl/certs"}));
        const QString hosts = environment.writeFile("hosts", "127.0.0.1 localhost " + product.host().toUtf8() + '\n');
        QVERIFY(run("mount", {"--bind", hosts, "/etc/hosts"}));

        vendor.setResponse((product.path() + "-ws/release.xml").toUtf8(), HttpTestServer::answer(200, feed));
        vendor.setResponse(download.path().toUtf8(),
                           HttpTestServer::answer(200, fileContent(release + download.path())));
        const QString downloads = environment.home() + "/downloads";
        QVERIFY(QDir().mkpath(downloads));
        environment.writeFile("bin/pkexec", "#!/bin/sh\nexec \"$@\"\n", QFile::ReadOwner | QFile::ExeOwner);
        QProcessEnvironment env;
        env.insert("PATH", environment.home() + "/bin:" + qEnvironmentVariable("PATH"));
        env.insert("TMPDIR", downloads);
        const QString before = installedVersion();
        desktop.startProgram(Program, env);
        QVERIFY(desktop.program.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(installedVersion(), elementText(feed, "version"), 60000);
        QVERIFY(installedVersion() != before);
        // It quits once installed, having started the new copy.
        QVERIFY(desktop.program.waitForFinished(20000));
        QCOMPARE(vendor.count(download.path().toUtf8()), 1);
        QCOMPARE(QDir(downloads).entryList(QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestInstalledPackage)
#include "testinstalledpackage.moc"
