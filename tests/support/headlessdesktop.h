#pragma once

#include "tests/support/statusnotifierwatcher.h"

#include <QProcess>
#include <QStringList>

class TestClient;

// A desktop for the real program to start on, on the test's session bus: an X display (Xvfb),
// the shell extension's stand-in as its own process, and a panel that shows tray icons.
class HeadlessDesktop
{
public:
    ~HeadlessDesktop();

    // standInState: a JSON state file for the stand-in, or empty for its defaults.
    bool start(const QString& standInState = QString());
    void startProgram(const QString& path, const QProcessEnvironment& extra = {});
    // A user's German locale, in which the program's texts are known to be translated.
    static QProcessEnvironment german();
    // The port the program wrote down, once it did; 0 when it did not within 20 s.
    quint16 waitForPort() const;
    // The program's tray item, once it registered one; empty when it did not within 20 s.
    QString waitForTrayItem();
    // A device that just connected and got "wa" is authorized through the prompt, with the
    // script a person uses on a virtual display.
    bool authorizeThroughPrompt(TestClient& device) const;
    bool quitThroughMenu(const QString& item, const QString& quitLabel);

    StatusNotifierWatcher panel;
    QProcess program;
    QString displayName;

private:
    QProcess display;
    QProcess desktop;
};
