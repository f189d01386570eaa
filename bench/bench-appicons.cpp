// Time to answer "ai" for 200 applications at 64 pixels through the real server over loopback, on
// an encrypted connection, next to the bare PNG encoding of the same 200 pixmaps in the same run.

#include "handlers/applisthandlers.h"
#include "server/core.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPainter>
#include <QRadialGradient>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {
constexpr int Apps = 200;
constexpr int IconSize = 64;
constexpr int Rounds = 9;

// A drawn icon with gradients and edges, so that PNG has real work to do.
QIcon renderedIcon(int index)
{
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient gradient(96, 96, 160);
    gradient.setColorAt(0, QColor::fromHsv(index * 37 % 360, 200, 255));
    gradient.setColorAt(1, QColor::fromHsv(index * 53 % 360, 255, 90));
    painter.setBrush(gradient);
    painter.setPen(QPen(Qt::black, 6));
    painter.drawRoundedRect(16, 16, 224, 224, 48, 48);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(128 + index % 40, 128 - index % 30), 40, 56);
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

double medianMilliseconds(const std::function<void()>& round)
{
    round(); // warm-up: caches, allocations
    QVector<qint64> times;
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        round();
        times.append(clock.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    return times.at(Rounds / 2) / 1e6;
}

// All 200 requests at once, as a client does after the application list, until the last icon is in.
double handlerMilliseconds(TestClient& device, const QVector<App*>& apps, qint64* replyBytes)
{
    QVector<QByteArray> requests;
    const SessionCipher cipher;
    for (const App* app : apps) {
        const QJsonObject request{{Key::Method, Method::AppIcon}, {Key::Id, app->id()}, {Key::Size, IconSize}};
        requests.append(cipher.encrypt(QJsonDocument(request).toJson(QJsonDocument::Compact), device.key));
    }
    QObject::disconnect(&device.socket, &QWebSocket::binaryMessageReceived, &device, nullptr);
    int replies = 0;
    QEventLoop loop;
    QObject::connect(&device.socket, &QWebSocket::binaryMessageReceived, [&](const QByteArray& frame) {
        *replyBytes += frame.size();
        if (++replies == Apps)
            loop.quit();
    });
    return medianMilliseconds([&] {
        replies = 0;
        *replyBytes = 0;
        for (const QByteArray& request : requests)
            device.socket.sendBinaryMessage(request);
        loop.exec();
    });
}

double encodingMilliseconds(const QVector<App*>& apps)
{
    QVector<QPixmap> pixmaps;
    for (const App* app : apps)
        pixmaps.append(appIconPixmap(app->icon(), IconSize, 1.0));
    return medianMilliseconds([&] {
        for (const QPixmap& pixmap : pixmaps) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            pixmap.save(&buffer, "PNG");
        }
    });
}
} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestEnvironment environment; // pairing writes settings: keep them out of the real HOME
    QGuiApplication application(argc, argv);
    TestPlatform* platform = startTestCore();
    if (!platform)
        qFatal("The core did not start");
    Server* server = Core::instance()->server();
    new AppIconHandler(server, Method::AppIcon);
    QCoreApplication::processEvents();
    TestClient device(QStringLiteral("bench-device"));
    if (!device.pair(*server) || !device.reconnect(server->port()))
        qFatal("Cannot connect the benchmark device");

    QVector<App*> apps;
    for (int i = 0; i < Apps; ++i)
        apps.append(platform->addApp(QStringLiteral("app-%1.desktop").arg(i), QStringLiteral("App %1").arg(i), false,
                                     renderedIcon(i)));

    qint64 replyBytes = 0;
    const double handler = handlerMilliseconds(device, apps, &replyBytes);
    const double encoding = encodingMilliseconds(apps);
    QTextStream out(stdout);
    out << "appicons.apps: " << Apps << " icons\n";
    out << "appicons.size: " << IconSize << " px\n";
    out << "appicons.reply.average: " << replyBytes / Apps << " bytes\n";
    out << "appicons.handler.total: " << handler << " ms\n";
    out << "appicons.handler.per_icon: " << handler * 1000 / Apps << " us\n";
    out << "appicons.png.total: " << encoding << " ms\n";
    out << "appicons.ratio: " << handler / encoding << "\n";
    return 0;
}
