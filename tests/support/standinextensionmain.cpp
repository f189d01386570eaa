// The shell extension's stand-in as a program, for trying Pavo Server on a desktop without GNOME
// Shell: pavo-standin-extension [state.json]. Each line on standard input is a JSON object of
// state changes (see StandInExtension::apply); each call received is printed on standard output.
#include "tests/support/standinextension.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {
void applyLine(StandInExtension& extension, const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument changes = QJsonDocument::fromJson(line, &error);
    if (!changes.isObject()) {
        qWarning("Cannot parse state: %s", qPrintable(error.errorString()));
        return;
    }
    extension.apply(changes.object());
}

// Reads standard input line by line as it arrives, without blocking the event loop.
void followInput(StandInExtension& extension)
{
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &extension);
    auto readSome = [&extension, notifier, pending = QByteArray()]() mutable {
        char buffer[4096];
        const ssize_t size = read(STDIN_FILENO, buffer, sizeof buffer);
        if (size <= 0) {
            notifier->setEnabled(false); // end of input: keep serving what was set
            return;
        }
        pending.append(buffer, int(size));
        for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            applyLine(extension, pending.left(end));
            pending.remove(0, end + 1);
        }
    };
    QObject::connect(notifier, &QSocketNotifier::activated, &extension, readSome);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    StandInExtension extension;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (!file.open(QIODevice::ReadOnly)) {
            fprintf(stderr, "Cannot read %s\n", argv[1]);
            return 2;
        }
        applyLine(extension, file.readAll());
    }
    if (!extension.registerOn(QDBusConnection::sessionBus())) {
        fprintf(stderr, "Cannot own %s on the session bus\n", qPrintable(StandInExtension::Service));
        return 1;
    }
    QObject::connect(&extension, &StandInExtension::called, [](const QString& call) {
        printf("%s\n", qPrintable(call));
        fflush(stdout);
    });
    followInput(extension);
    return application.exec();
}
