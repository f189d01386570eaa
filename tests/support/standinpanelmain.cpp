// The panel's tray stand-in as a program of its own, as a desktop runs it: a program that asks
// whether there is a tray waits for the answer, which its own process could not give.
#include "tests/support/statusnotifierwatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    StatusNotifierWatcher panel;
    if (!panel.registerOn(QDBusConnection::sessionBus())) {
        fprintf(stderr, "Cannot own org.kde.StatusNotifierWatcher on the session bus\n");
        return 1;
    }
    return application.exec();
}
