// The shell extension's stand-in as a program, for trying Pavo Server on a desktop without GNOME
// Shell: pavo-standin-extension [state.json], the file a JSON object of state (see
// StandInExtension::apply); each call received is printed on standard output.
#include "tests/support/standinextension.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    StandInExtension extension;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        QJsonParseError error;
        const QJsonDocument state =
            QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : "", &error);
        if (!state.isObject()) {
            fprintf(stderr, "Cannot read state from %s: %s\n", argv[1], qPrintable(error.errorString()));
            return 2;
        }
        extension.apply(state.object());
    }
    if (!extension.registerOn(QDBusConnection::sessionBus())) {
        fprintf(stderr, "Cannot own %s on the session bus\n", qPrintable(StandInExtension::Service));
        return 1;
    }
    QObject::connect(&extension, &StandInExtension::called, [](const QString& call) {
        printf("%s\n", qPrintable(call));
        fflush(stdout);
    });
    return application.exec();
}
