// Runs as the program would, reports on stdout and quits when its stdin closes.
#include "app/identity.h"
#include "app/singleapplication.h"

#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    setUpIdentity();
    SingleApplication app(argc, argv, SingleApplication::User, 1000);
    auto say = [](const QByteArray& line) {
        std::printf("%s\n", line.constData());
        std::fflush(stdout);
    };
    say("primary");

    QObject::connect(&app, &SingleApplication::instanceStarted, [&] { say("started"); });
    QObject::connect(&app, &SingleApplication::receivedMessage, [&](quint32 instanceId, const QByteArray& message) {
        say("message " + QByteArray::number(instanceId) + ' ' + message);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&app] {
        char byte;
        if (read(STDIN_FILENO, &byte, 1) <= 0)
            app.quit();
    });
    return app.exec();
}
