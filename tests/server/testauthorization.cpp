#include "handlers/authenticationhandler.h"
#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/echohandler.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestAuthorization : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    Server* server = nullptr;

    bool waits(TestClient& device) { return device.openExpecting(server->port(), Method::Wait); }
    // Pairings must outlive the server: a new one reads them back from the settings file.
    void restartServer()
    {
        delete server;
        server = new Server;
        new AuthenticationHandler(server, Method::Authentication);
        new EchoHandler(server, Method::Volume);
    }

private slots:
    void init()
    {
        QSettings().clear();
        restartServer();
    }
    void cleanup()
    {
        delete server;
        server = nullptr;
    }

    void pairingWithConsent()
    {
        QSignalSpy asked(server, &Server::needUserAuthorization);
        TestClient device;
        QVERIFY(device.open(server->port()));
        QCOMPARE(device.next().segment, QByteArray(R"({"_":"wa"})"));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).at(1).toString(), device.deviceId);
        QVERIFY(asked.at(0).at(2).toString().contains(QStringLiteral("127.0.0.1"))); // no peer name: the address
        QCOMPARE(asked.at(0).at(3).toString(), QString());

        // Even a file someone opened up is private again once a secret goes in.
        QFile::setPermissions(environment.settingsFile(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        server->authorize(device.deviceId, true);
        const QJsonObject secretMessage = device.nextJson();
        QCOMPARE(secretMessage.value(Key::Method).toString(), Method::Authentication);
        QCOMPARE(secretMessage.value(Key::Secret).toString().size(), 32);
        QCOMPARE(device.nextJson(), request(Method::Authentication, {{Key::Value, true}}));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(environment.settingsFile()) & others, QFile::Permissions());

        // Admitted, but without a key: the pairing connection stays in clear.
        device.send(request(Method::Volume));
        QCOMPARE(device.next().segment, QByteArray(R"({"_":"v"})"));
        QVERIFY(device.leave());
        QTRY_VERIFY(server->clients().isEmpty());
        QCOMPARE(server->authorizedDeviceCount(), 1); // entries, not connections
    }

    void pairingRefusedTooLateOrOneAtATime()
    {
        TestClient refused(QStringLiteral("refused")), impatient(QStringLiteral("impatient")),
            next(QStringLiteral("next"));
        QVERIFY(waits(refused));
        server->authorize(refused.deviceId, false);
        QVERIFY(refused.waitForDisconnected());
        QCOMPARE(refused.closeCode(), QWebSocketProtocol::CloseCodeNormal);

        // Only one device waits at a time; its leaving frees the slot for the next one.
        QVERIFY(waits(impatient));
        TestClient second(QStringLiteral("second"));
        second.open(server->port());
        QVERIFY(second.waitForDisconnected());
        QCOMPARE(second.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        QVERIFY(second.next().segment.isEmpty());
        QVERIFY(impatient.leave());
        QTRY_VERIFY(server->connections().isEmpty());

        // The prompt about the device that left is answered while another device waits.
        QVERIFY(waits(next));
        server->authorize(impatient.deviceId, true);
        QVERIFY(server->clients().isEmpty());
        QCOMPARE(server->authorizedDeviceCount(), 0);
        server->authorize(next.deviceId, true);
        QVERIFY(next.nextJson().contains(Key::Secret));
        QVERIFY(server->isAuthorized(next.deviceId) && !server->isAuthorized(refused.deviceId));
    }

    void knownDeviceProvesItsSecretOrIsClosed()
    {
        server->setChallengeTimeout(50);
        TestClient device;
        QVERIFY(device.connectChallenged(*server));
        QVERIFY(device.waitForDisconnected()); // silent
        QCOMPARE(device.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        QVERIFY(server->isAuthorized(device.deviceId));
        server->setChallengeTimeout(10000);
        QVERIFY(device.open(server->port()));
        QVERIFY(device.nextJson().contains(Key::SessionToken));
        device.answerChallenge(QString::fromLatin1(QByteArray(20, '\0').toHex()));
        QVERIFY(device.waitForDisconnected());
        QCOMPARE(device.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        QVERIFY(server->isAuthorized(device.deviceId));

        QVERIFY(device.open(server->port()));
        QCOMPARE(device.next().segment, QStringLiteral(R"({"_":"au","st":"%1"})").arg(device.token).toUtf8());
        QCOMPARE(device.token.size(), 32);
        device.answerChallenge();
        const TestClient::Message verdict = device.next();
        QCOMPARE(verdict.json, request(Method::Authentication, {{Key::Value, true}}));
        QCOMPARE(verdict.segment.size(), 16 + 32); // IV and two blocks of ciphertext
        device.send(request(Method::Volume, {{Key::Value, 40}}));
        QCOMPARE(device.nextJson().value(Key::Value).toInt(), 40);
        const QByteArray png("\x89PNG\r\n\x1a\n", 8);
        server->sendJson(server->clients().constFirst(), request(Method::AppIcon), {Server::Png, png});
        const TestClient::Message icon = device.next();
        QCOMPARE(icon.json, request(Method::AppIcon));
        QCOMPARE(icon.attachments, Server::Attachments({{Server::Png, png}}));

        // Frames that do not decrypt cost the device its pairing.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot parse JSON")));
        device.sendRaw(R"({"_":"au","h":"sent in clear"})");
        QVERIFY(device.waitForDisconnected());
        QVERIFY(!server->isAuthorized(device.deviceId));
        QVERIFY(waits(device));
    }

    void pairingsOutliveTheServerUntilAllAreForgotten()
    {
        TestClient kept(QStringLiteral("kept")), dropped(QStringLiteral("dropped"));
        QVERIFY(kept.pair(*server) && dropped.pair(*server));
        server->deauthorize(dropped.deviceId);
        restartServer();
        QCOMPARE(server->deviceSecret(kept.deviceId), kept.secret);
        QCOMPARE(server->authorizedDeviceCount(), 1);

        // Forgetting them all closes their connections too.
        QVERIFY(kept.reconnect(server->port()));
        server->deauthorizeAll();
        QVERIFY(kept.waitForDisconnected());
        QCOMPARE(server->authorizedDeviceCount(), 0);
        QTRY_VERIFY(server->clients().isEmpty());
        restartServer();
        QCOMPARE(server->authorizedDeviceCount(), 0);
        QVERIFY(waits(kept));
    }

    void strayAnswersDoNotDecideForTheWaitingDevice()
    {
        TestClient admitted(QStringLiteral("admitted")), challenged(QStringLiteral("challenged"));
        QVERIFY(admitted.pair(*server));
        QVERIFY(challenged.connectChallenged(*server));
        QSignalSpy count(server, &Server::clientCountChanged);

        // Right and wrong answers alike, from a connection that was not challenged.
        const QJsonObject right =
            request(Method::Authentication, {{Key::ChallengeAnswer, QString::fromLatin1(challenged.key.toHex())}});
        const QJsonObject wrong = request(Method::Authentication, {{Key::ChallengeAnswer, "wrong"}});
        QCOMPARE(admitted.replyAfter({right, wrong, request(Method::Authentication)}, request(Method::Volume)),
                 request(Method::Volume));
        QVERIFY(challenged.isConnected());
        QCOMPARE(server->clients().size(), 1);

        challenged.answerChallenge();
        QCOMPARE(challenged.nextJson().value(Key::Value).toBool(), true);
        QCOMPARE(server->clients().size(), 2);
        QCOMPARE(count.size(), 1);
    }
};

QTEST_MAIN(TestAuthorization)
#include "testauthorization.moc"
