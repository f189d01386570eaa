// The built program, started as a user would start it: on an X display, with a session bus that
// has the shell extension's stand-in and a panel that shows tray icons over D-Bus.
#include "tests/support/headlessdesktop.h"
#include "tests/support/standingnomeextensions.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    StandInGnomeExtensions gnomeExtensions{environment.home()};
    HeadlessDesktop desktop;

private slots:
    void initTestCase() { QVERIFY(desktop.start()); }

    // On a German desktop, where the program finds its translations beside itself in the build tree:
    // its tray menu, a device paired through the translated prompt, and Quit. (The first-run suite
    // has the paired device come back and list the desktop's applications.)
    void pairAndQuitInGerman()
    {
        desktop.startProgram(PROGRAM_PATH, HeadlessDesktop::german());
        QVERIFY(desktop.program.waitForStarted());
        const quint16 port = desktop.waitForPort();
        QVERIFY(port != 0);
        const QString item = desktop.waitForTrayItem();
        QVERIFY(!item.isEmpty());
        const QStringList menu{"Keine Clients verbunden", "Telefon verbinden...", "Nach Updates suchen...",
                               "Einstellungen...",        "Über Pavo Server",     "Beenden"};
        QTRY_COMPARE(desktop.panel.menuLabels(item), menu);

        // The welcome is still open under the prompt.
        TestClient device;
        QVERIFY(device.open(port));
        QVERIFY(desktop.authorizeThroughPrompt(device));
        QVERIFY(desktop.quitThroughMenu(item, "Beenden"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "teststartup.moc"
